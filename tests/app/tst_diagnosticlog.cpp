#include "TestFiles.h"
#include "app/AppState.h"
#include "app/Clock.h"
#include "app/DiagnosticLog.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {
class FixedClock : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }
};

QByteArray fixedStamp() {
    return QLocale::system().toString(QDate(2026, 3, 9), QLocale::ShortFormat).toLatin1() +
           " 07:05:03- ";
}
} // namespace

class TestDiagnosticLog : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void logThatCannotBeOpenedLosesOnlyTheEntry();
};

void TestDiagnosticLog::entries_data() {
    QTest::addColumn<bool>("logOn");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QByteArray>("expected"); // "<missing>": no file written

    const QByteArray stamp = fixedStamp();
    QTest::newRow("two entries in call order, line break inside kept")
        << true << QStringList{"primo", "a\r\nb"} << stamp + "primo\r\n" + stamp + "a\r\nb\r\n";
    QTest::newRow("windows-1252 text")
        << true << QStringList{QStringLiteral("perché €")} << stamp + "perch\xe9 \x80\r\n";
    QTest::newRow("log off: no file") << false << QStringList{"x"} << QByteArray("<missing>");
    QTest::newRow("empty text: no file")
        << true << QStringList{QString()} << QByteArray("<missing>");
}

void TestDiagnosticLog::entries() {
    QFETCH(bool, logOn);
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, expected);
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().Log = logOn;
    FixedClock clock;
    for (const QString &text : texts)
        WriteLog(text, clock);
    QCOMPARE(TestFiles::bytesOf(folder.filePath(QStringLiteral("Log.txt"))), expected);
}

void TestDiagnosticLog::logThatCannotBeOpenedLosesOnlyTheEntry() {
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().Log = true;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Log.txt")));
    WriteLog(QStringLiteral("perso"), FixedClock());
    QVERIFY(QDir(folder.path()).rmdir(QStringLiteral("Log.txt")));
    WriteLog(QStringLiteral("dopo"), FixedClock());
    QCOMPARE(TestFiles::bytesOf(folder.filePath(QStringLiteral("Log.txt"))),
             fixedStamp() + "dopo\r\n");
}

QTEST_GUILESS_MAIN(TestDiagnosticLog)
#include "tst_diagnosticlog.moc"
