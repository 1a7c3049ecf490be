#include "TestFiles.h"
#include "app/IniGest.h"

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

constexpr qint64 kProfileReadLimit = 64000;

// Above the size limit the file is scanned line by line for "key=" with the value in quotes.
void TestIniGest::read_data() {
    QTest::addColumn<QString>("key"); // in the section Settings
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("padTo"); // 0: as it is; else a comment brings it to that size
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[Settings]\r\nTimer=180\r\n[Other]\r\nExtra=yes\r\n";
    const qint64 scanned = kProfileReadLimit + 100;
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
        << "Log" << QByteArray("[Other]\nLogFile=\"x\"\n[Settings]\nLog=\"1\"\n") << scanned
        << "le=\"x";
}

void TestIniGest::read() {
    QFETCH(QString, key);
    QFETCH(QByteArray, content);
    QFETCH(qint64, padTo);
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
    QTest::newRow("missing section after a last line without line end")
        << QByteArray("[T]\r\nB=2") << QStringList{"S", "A", "1"}
        << QByteArray("[T]\r\nB=2\r\n[S]\r\nA=1\r\n");
    QTest::newRow("unix line ends kept")
        << QByteArray("[S]\nA=1\n") << QStringList{"S", "B", "2"} << QByteArray("[S]\nA=1\nB=2\n");
    QTest::newRow("refused: value with a line break")
        << keyA << QStringList{"S", "A", "1\r\nLog=1"} << keyA;
    QTest::newRow("refused: key with an equals sign")
        << keyA << QStringList{"S", "A=B", "1"} << keyA;
    QTest::newRow("refused: section with a closing bracket")
        << keyA << QStringList{"S]x", "A", "1"} << keyA;
}

void TestIniGest::write() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, write);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setws.ini"));
    QVERIFY(TestFiles::write(path, before));
    const bool written = after != before;
    QCOMPARE(WriteIniValue(path, write[0], write[1], write[2]) != 0, written);
    QCOMPARE(TestFiles::bytesOf(path), after);
    if (written)
        QCOMPARE(ReadIniValue(path, write[0], write[1]), write[2]);
}

QTEST_APPLESS_MAIN(TestIniGest)
#include "tst_inigest.moc"
