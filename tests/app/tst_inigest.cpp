#include "TestFiles.h"
#include "app/IniGest.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestIniGest : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void write_data();
    void write();
};

namespace {
constexpr qint64 kProfileReadLimit = 64000;
const QByteArray kMissing = "<missing>";
} // namespace

// Above the size limit the file is scanned line by line, which reads differently.
void TestIniGest::read_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("padTo"); // 0: as it is; else a comment brings it to that size
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[Settings]\r\nTimer=180\r\n[Other]\r\nExtra=yes\r\n";
    const qint64 scanned = kProfileReadLimit + 100;
    QTest::newRow("section and key without regard to case")
        << QByteArray("[SETTINGS]\r\n  timer  =  \"60\"  \r\n") << 0ll << "Timer"
        << "60";
    QTest::newRow("key of another section is not found") << settings << 0ll << "Extra" << QString();
    QTest::newRow("first of two sections of the same name")
        << QByteArray("[Settings]\r\nA=1\r\n[Settings]\r\nA=2\r\n") << 0ll << "A"
        << "1";
    QTest::newRow("windows-1252 bytes")
        << QByteArray("[Settings]\r\nCitt\xe0=Forl\xec \x80\r\n") << 0ll << QStringLiteral("Città")
        << QStringLiteral("Forlì €");
    QTest::newRow("600 characters cut to 511")
        << QByteArray("[Settings]\r\nLong=" + QByteArray(600, 'v') + "\r\n") << 0ll << "Long"
        << QString(511, QLatin1Char('v'));
    QTest::newRow("64000 bytes: profile call") << settings << kProfileReadLimit << "Timer"
                                               << "180";
    QTest::newRow("64001 bytes: the scan drops a character from each end")
        << settings << kProfileReadLimit + 1 << "Timer"
        << "8";
    QTest::newRow("scan: longer key that begins with the key")
        << QByteArray("[Settings]\r\nLogFile=\"x\"\r\nLog=\"1\"\r\n") << scanned << "Log"
        << "le=\"x";
    QTest::newRow("scan: first line anywhere wins")
        << QByteArray("[Other]\r\nTimer=\"5\"\r\n[Settings]\r\nTimer=\"180\"\r\n") << scanned
        << "Timer"
        << "5";
    QTest::newRow("scan: case matters")
        << QByteArray("timer=\"180\"\r\n") << scanned << "Timer" << QString();
    QTest::newRow("scan: value shorter than its quotes")
        << QByteArray("Timer=\r\n") << scanned << "Timer" << QString();
}

void TestIniGest::read() {
    QFETCH(QByteArray, content);
    QFETCH(qint64, padTo);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    if (padTo > 0)
        content += ';' + QByteArray(padTo - content.size() - 3, 'x') + "\r\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setws.ini"));
    QVERIFY(TestFiles::write(path, content));
    QCOMPARE(ReadIniValue(path, QStringLiteral("Settings"), key), expected);
    QCOMPARE(TestFiles::bytesOf(path), content);
}

// Every byte not written stays as it was; what would break the file is refused.
void TestIniGest::write_data() {
    QTest::addColumn<QByteArray>("before"); // "<missing>": no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QByteArray>("after");

    const QByteArray keyA = "[S]\r\nA=0\r\n";
    QTest::newRow("new file") << kMissing << "Settings"
                              << "Timer"
                              << "180" << true << QByteArray("[Settings]\r\nTimer=180\r\n");
    QTest::newRow("replaced in place, blanks and order kept")
        << QByteArray("[S]\r\nT=180\r\nLog = 0\r\nX=0\r\n") << "s"
        << "log"
        << "1" << true << QByteArray("[S]\r\nT=180\r\nLog = 1\r\nX=0\r\n");
    QTest::newRow("missing key after the section's last key")
        << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n") << "S"
        << "C"
        << "3" << true << QByteArray("[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\nB=2\r\n");
    QTest::newRow("missing section appended after a last line without line end")
        << QByteArray("[T]\r\nB=2") << "S"
        << "A"
        << "1" << true << QByteArray("[T]\r\nB=2\r\n[S]\r\nA=1\r\n");
    QTest::newRow("unix line ends kept") << QByteArray("[S]\nA=1\n") << "S"
                                         << "B"
                                         << "2" << true << QByteArray("[S]\nA=1\nB=2\n");
    QTest::newRow("same value leaves the file as it was") << keyA << "S"
                                                          << "A"
                                                          << "0" << true << keyA;
    QTest::newRow("windows-1252 value")
        << QByteArray("[S]\r\n") << "S"
        << "A" << QStringLiteral("è€") << true << QByteArray("[S]\r\nA=\xe8\x80\r\n");
    QTest::newRow("refused: value with a line break") << keyA << "S"
                                                      << "A"
                                                      << "1\r\nLog=1" << false << keyA;
    QTest::newRow("refused: key with an equals sign") << keyA << "S"
                                                      << "A=B"
                                                      << "1" << false << keyA;
    QTest::newRow("refused: key that reads as a section") << keyA << "S"
                                                          << "[T]"
                                                          << "1" << false << keyA;
    QTest::newRow("refused: section with a closing bracket") << keyA << "S]x"
                                                             << "A"
                                                             << "1" << false << keyA;
    QTest::newRow("refused: empty key") << keyA << "S" << QString() << "1" << false << keyA;
}

void TestIniGest::write() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, written);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setws.ini"));
    if (before != kMissing)
        QVERIFY(TestFiles::write(path, before));
    QCOMPARE(WriteIniValue(path, section, key, value) != 0, written);
    QCOMPARE(TestFiles::bytesOf(path), after);
    if (written)
        QCOMPARE(ReadIniValue(path, section, key), value);
}

QTEST_APPLESS_MAIN(TestIniGest)
#include "tst_inigest.moc"
