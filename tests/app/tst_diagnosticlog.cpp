#include "TestFiles.h"
#include "app/AppState.h"
#include "app/Clock.h"
#include "app/DiagnosticLog.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class TestDiagnosticLog : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
};

struct FixedClock : Clock {
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }
};

void TestDiagnosticLog::entries_data() {
    QTest::addColumn<bool>("logOn");
    QTest::addColumn<QStringList>("texts");   // "<folder>": Log.txt is a folder while written
    QTest::addColumn<QByteArray>("expected"); // "<missing>": no file written

    const QByteArray stamp =
        QLocale::system().toString(QDate(2026, 3, 9), QLocale::ShortFormat).toLatin1() +
        " 07:05:03- ";
    QTest::newRow("in call order, line break kept, one ? for each character windows-1252 lacks")
        << true << QStringList{"primo", QString::fromUcs4(U"a\r\nè€“Ω\U0001F600\u0085")}
        << stamp + "primo\r\n" + stamp + "a\r\n\xe8\x80\x93???\r\n";
    QTest::newRow("a log that cannot be opened loses only its entry")
        << true << QStringList{"<folder>", "dopo"} << stamp + "dopo\r\n";
    QTest::newRow("log off: no file") << false << QStringList{"x"} << QByteArray("<missing>");
    QTest::newRow("empty text: no file") << true << QStringList{""} << QByteArray("<missing>");
}

void TestDiagnosticLog::entries() {
    QFETCH(bool, logOn);
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, expected);
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().Log = logOn;
    for (const QString &text : texts) {
        const bool blocked = text == "<folder>" && QDir(folder.path()).mkdir("Log.txt");
        WriteLog(text, FixedClock());
        QVERIFY(!blocked || QDir(folder.path()).rmdir("Log.txt"));
    }
    QCOMPARE(TestFiles::bytesOf(folder.filePath(QStringLiteral("Log.txt"))), expected);
}

QTEST_GUILESS_MAIN(TestDiagnosticLog)
#include "tst_diagnosticlog.moc"
