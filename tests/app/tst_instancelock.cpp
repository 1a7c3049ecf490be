#include "app/InstanceLock.h"

#include <QTemporaryDir>
#include <QTest>

class TestInstanceLock : public QObject {
    Q_OBJECT
private slots:
    void oneHolderPerFolderUntilItEnds();
};

void TestInstanceLock::oneHolderPerFolderUntilItEnds() {
    QTemporaryDir folder;
    QTemporaryDir otherFolder;
    {
        InstanceLock first(folder.path());
        QVERIFY(first.acquire());
        QVERIFY(first.acquire());
        // The same folder spelt another way is still the same installation.
        QVERIFY(!InstanceLock(folder.path() + QStringLiteral("/./")).acquire());
        QVERIFY(InstanceLock(otherFolder.path()).acquire());
    }
    QVERIFY(InstanceLock(folder.path()).acquire());
}

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "tst_instancelock.moc"
