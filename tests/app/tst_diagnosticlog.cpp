#include "TestFiles.h"
#include "app/AppState.h"
#include "app/Clock.h"
#include "app/DiagnosticLog.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {
class FixedClock : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }
};

QByteArray stamp() {
    return QLocale::system().toString(QDate(2026, 3, 9), QLocale::ShortFormat).toLatin1() +
           " 07:05:03- ";
}
} // namespace

class TestDiagnosticLog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void entries_data();
    void entries();
    void logFileThatIsAFolderLosesOnlyTheEntry();
    void missingApplicationFolderLosesOnlyTheEntry();

private:
    QString logPath() const { return m_dir.filePath(QStringLiteral("Log.txt")); }

    QTemporaryDir m_dir;
    FixedClock m_clock;
};

void TestDiagnosticLog::init() {
    QVERIFY(m_dir.isValid());
    QFile::remove(logPath());
    AppState::instance().ApplicationFolder = m_dir.path();
}

void TestDiagnosticLog::entries_data() {
    QTest::addColumn<bool>("logOn");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QByteArray>("expected"); // "<missing>": no file written

    QTest::newRow("one entry") << true << QStringList{"Risposta non valida"}
                               << stamp() + "Risposta non valida\r\n";
    QTest::newRow("two entries in the same second, in call order")
        << true << QStringList{"primo", "secondo"}
        << stamp() + "primo\r\n" + stamp() + "secondo\r\n";
    QTest::newRow("line break inside the text kept")
        << true << QStringList{"a\r\nb"} << stamp() + "a\r\nb\r\n";
    QTest::newRow("windows-1252 text")
        << true << QStringList{QStringLiteral("perché €")} << stamp() + "perch\xe9 \x80\r\n";
    QTest::newRow("log off: no file") << false << QStringList{"x"} << QByteArray("<missing>");
    QTest::newRow("empty text: no file")
        << true << QStringList{QString()} << QByteArray("<missing>");
}

void TestDiagnosticLog::entries() {
    QFETCH(bool, logOn);
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, expected);
    AppState::instance().Log = logOn;
    for (const QString &text : texts)
        WriteLog(text, m_clock);
    QCOMPARE(TestFiles::bytesOf(logPath()), expected);
}

void TestDiagnosticLog::logFileThatIsAFolderLosesOnlyTheEntry() {
    AppState::instance().Log = true;
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("Log.txt")));
    WriteLog(QStringLiteral("perso"), m_clock);
    QVERIFY(QFileInfo(logPath()).isDir());
    QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("Log.txt")));
    WriteLog(QStringLiteral("dopo"), m_clock);
    QCOMPARE(TestFiles::bytesOf(logPath()), stamp() + "dopo\r\n");
}

void TestDiagnosticLog::missingApplicationFolderLosesOnlyTheEntry() {
    AppState::instance().Log = true;
    AppState::instance().ApplicationFolder = m_dir.filePath(QStringLiteral("gone"));
    WriteLog(QStringLiteral("perso"), m_clock);
    QVERIFY(!QFileInfo::exists(AppState::instance().ApplicationFolder));
}

QTEST_GUILESS_MAIN(TestDiagnosticLog)
#include "tst_diagnosticlog.moc"
