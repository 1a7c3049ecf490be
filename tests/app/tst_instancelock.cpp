#include "app/InstanceLock.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestInstanceLock : public QObject {
    Q_OBJECT
private slots:
    void secondInstanceOfTheSameFolder();
    void copiesInOtherFoldersRunSideBySide();
    void lockIsFreedWithItsHolder();
    void lockFileIsPerUserAndPerFolder();
};

void TestInstanceLock::secondInstanceOfTheSameFolder() {
    QTemporaryDir folder;
    InstanceLock first(folder.path());
    InstanceLock second(folder.path());
    QVERIFY(first.acquire());
    QVERIFY(first.acquire());
    QVERIFY(!second.acquire());
}

void TestInstanceLock::copiesInOtherFoldersRunSideBySide() {
    QTemporaryDir one;
    QTemporaryDir other;
    InstanceLock first(one.path());
    InstanceLock second(other.path());
    QVERIFY(first.acquire());
    QVERIFY(second.acquire());
}

void TestInstanceLock::lockIsFreedWithItsHolder() {
    QTemporaryDir folder;
    {
        InstanceLock first(folder.path());
        QVERIFY(first.acquire());
    }
    InstanceLock next(folder.path());
    QVERIFY(next.acquire());
}

void TestInstanceLock::lockFileIsPerUserAndPerFolder() {
    QTemporaryDir folder;
    const QString path = InstanceLock::lockFilePath(folder.path());
    QCOMPARE(InstanceLock::lockFilePath(folder.path() + QStringLiteral("/./")), path);
    QVERIFY(InstanceLock::lockFilePath(folder.path() + QStringLiteral("x")) != path);
    QCOMPARE(QFileInfo(path).absolutePath(),
             QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
}

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "tst_instancelock.moc"
