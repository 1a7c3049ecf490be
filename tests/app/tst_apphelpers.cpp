#include "TestFiles.h"
#include "app/AppState.h"
#include "app/Clock.h"
#include "app/DiagnosticLog.h"
#include "app/IniGest.h"
#include "app/SharedHelpers.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

// The small helpers every module shares: setws.ini, Log.txt and numbers from the service.
class TestAppHelpers : public QObject {
    Q_OBJECT
private slots:
    void readIni_data();
    void readIni();
    void writeIni_data();
    void writeIni();
    void logEntries_data();
    void logEntries();
    void toNumberAndRound_data();
    void toNumberAndRound();

private:
    QTemporaryDir m_dir;
    const QString m_ini = m_dir.filePath(QStringLiteral("setws.ini"));
};

constexpr qint64 kProfileReadLimit = 64000;

// Above the size limit the file is scanned line by line for "key=" with the value in quotes.
void TestAppHelpers::readIni_data() {
    QTest::addColumn<QString>("key"); // in the section Settings
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("padTo"); // 0: as it is; else a comment brings it to that size
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[Settings]\r\nTimer=180\r\n[Other]\r\nExtra=yes\r\n";
    QTest::newRow("names without regard to case, blanks and quotes dropped")
        << "timer" << QByteArray("[SETTINGS]\r\n  Timer  =  \"60\"  \r\n") << 0ll << "60";
    QTest::newRow("key of another section") << "Extra" << settings << 0ll << QString();
    QTest::newRow("windows-1252 bytes")
        << QStringLiteral("Città") << QByteArray("[Settings]\nCitt\xe0=Forl\xec \x80\x81\n") << 0ll
        << QStringLiteral("Forlì €\u0081");
    QTest::newRow("600 characters cut to 511")
        << "Long" << QByteArray("[Settings]\nLong=" + QByteArray(600, 'v')) << 0ll
        << QString(511, 'v');
    QTest::newRow("64000 bytes: profile call") << "Timer" << settings << kProfileReadLimit << "180";
    QTest::newRow("64001 bytes: the scan drops a character from each end")
        << "Timer" << settings << kProfileReadLimit + 1 << "8";
    QTest::newRow("scan: first line that begins with the key, whatever its section")
        << "Log" << QByteArray("[Other]\nLogFile=\"x\"\n[Settings]\nLog=\"1\"\n")
        << kProfileReadLimit + 100 << "le=\"x";
}

void TestAppHelpers::readIni() {
    QFETCH(QString, key);
    QFETCH(QByteArray, content);
    QFETCH(qint64, padTo);
    QFETCH(QString, expected);
    if (padTo > 0)
        content += ';' + QByteArray(padTo - content.size() - 3, 'x') + "\r\n";
    QVERIFY(TestFiles::write(m_ini, content));
    QCOMPARE(ReadIniValue(m_ini, QStringLiteral("Settings"), key), expected);
    QCOMPARE(TestFiles::bytesOf(m_ini), content);
}

// Every byte not written stays as it was; what would break the file is refused.
void TestAppHelpers::writeIni_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("write"); // section, key, value
    QTest::addColumn<QByteArray>("after");  // as before: refused

    const QByteArray keyA = "[S]\r\nA=0\r\n";
    QTest::newRow("replaced in place, blanks, order and other bytes kept")
        << QByteArray("[S]\r\nT=\x81\xff\r\nLog = 0\r\nX=0\r\n") << QStringList{"s", "log", "1"}
        << QByteArray("[S]\r\nT=\x81\xff\r\nLog = 1\r\nX=0\r\n");
    QTest::newRow("missing key after the section's last key")
        << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n") << QStringList{"S", "C", "3"}
        << QByteArray("[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\nB=2\r\n");
    QTest::newRow("missing section after a last line without line end, unix line ends kept")
        << QByteArray("[T]\nB=2") << QStringList{"S", "A", "1"}
        << QByteArray("[T]\nB=2\n[S]\nA=1\n");
    QTest::newRow("refused: value with a line break")
        << keyA << QStringList{"S", "A", "1\r\nLog=1"} << keyA;
    QTest::newRow("refused: key with an equals sign")
        << keyA << QStringList{"S", "A=B", "1"} << keyA;
    QTest::newRow("refused: section with a closing bracket")
        << keyA << QStringList{"S]x", "A", "1"} << keyA;
}

void TestAppHelpers::writeIni() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, write);
    QFETCH(QByteArray, after);
    QVERIFY(TestFiles::write(m_ini, before));
    QCOMPARE(WriteIniValue(m_ini, write[0], write[1], write[2]) != 0, after != before);
    QCOMPARE(TestFiles::bytesOf(m_ini), after);
}

struct FixedClock : Clock {
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }
};

void TestAppHelpers::logEntries_data() {
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

void TestAppHelpers::logEntries() {
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

// Numbers from the service are read with the user's separators, then rounded halves to even.
void TestAppHelpers::toNumberAndRound_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("number");
    QTest::addColumn<std::optional<qint32>>("int32");
    QTest::addColumn<std::optional<qint16>>("int16");
    using I32 = std::optional<qint32>;
    using I16 = std::optional<qint16>;
    const QLocale c = QLocale::c();
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QTest::newRow("digits with blanks among them")
        << c << QVariant(" 1 234 ") << 1234.0 << I32(1234) << I16(1234);
    QTest::newRow("not a finite number") << c << QVariant(qQNaN()) << 0.0 << I32(0) << I16(0);
    QTest::newRow("italian decimal comma, half to even")
        << italian << QVariant("-2,5") << -2.5 << I32(-2) << I16(-2);
    QTest::newRow("a number stays itself whatever the locale")
        << italian << QVariant(3.5) << 3.5 << I32(4) << I16(4);
    QTest::newRow("past the 16-bit largest")
        << c << QVariant(32767.5) << 32767.5 << I32(32768) << I16();
    QTest::newRow("past the 32-bit largest")
        << c << QVariant("2147483647.5") << 2147483647.5 << I32() << I16();
}

void TestAppHelpers::toNumberAndRound() {
    QFETCH(QLocale, locale);
    QFETCH(QVariant, value);
    QFETCH(double, number);
    QFETCH(std::optional<qint32>, int32);
    QFETCH(std::optional<qint16>, int16);
    QLocale::setDefault(locale);
    QCOMPARE(ToNumber(value), number);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(RoundToInt32(number), int32);
    QCOMPARE(RoundToInt16(number), int16);
}

QTEST_GUILESS_MAIN(TestAppHelpers)
#include "tst_apphelpers.moc"
