#include "TestFiles.h"
#include "app/IniGest.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestIniGest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readProfile_data();
    void readProfile();
    void readAroundSizeLimit_data();
    void readAroundSizeLimit();
    void readByLineScan_data();
    void readByLineScan();
    void write_data();
    void write();
    void writeRefusesWhatWouldBreakTheFile_data();
    void writeRefusesWhatWouldBreakTheFile();

private:
    bool writeFile(const QByteArray &bytes) const { return TestFiles::write(m_path, bytes); }
    QByteArray fileBytes() const { return TestFiles::bytesOf(m_path); }

    QTemporaryDir m_dir;
    QString m_path;
};

namespace {
constexpr qint64 kProfileReadLimit = 64000;

// The settings content followed by a comment line that brings the file to exactly size bytes.
QByteArray paddedTo(const QByteArray &content, qint64 size) {
    const QByteArray comment = ";";
    const qint64 fill = size - content.size() - comment.size() - 2;
    return content + comment + QByteArray(fill, 'x') + "\r\n";
}
} // namespace

void TestIniGest::init() {
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("setws.ini"));
    QFile::remove(m_path);
}

void TestIniGest::readProfile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[Settings]\r\nTimer=180\r\nLog=1\r\n[Other]\r\nExtra=yes\r\n";
    QTest::newRow("key in its section") << settings << "Settings"
                                        << "Log"
                                        << "1";
    QTest::newRow("section and key without regard to case") << settings << "SETTINGS"
                                                            << "timer"
                                                            << "180";
    QTest::newRow("key of another section is not found") << settings << "Settings"
                                                         << "Extra" << QString();
    QTest::newRow("missing section") << settings << "Nope"
                                     << "Timer" << QString();
    QTest::newRow("missing key") << settings << "Settings"
                                 << "Interface" << QString();
    QTest::newRow("blanks around the equals sign")
        << QByteArray("[Settings]\r\n  Timer  =  60  \r\n") << "Settings"
        << "Timer"
        << "60";
    QTest::newRow("double quotes dropped") << QByteArray("[Settings]\nTimer=\"60\"\n") << "Settings"
                                           << "Timer"
                                           << "60";
    QTest::newRow("first of two sections of the same name")
        << QByteArray("[S]\r\nA=1\r\n[S]\r\nA=2\r\nB=3\r\n") << "S"
        << "A"
        << "1";
    QTest::newRow("windows-1252 bytes") << QByteArray("[S]\r\nCitt\xe0=Forl\xec \x80\r\n") << "S"
                                        << QStringLiteral("Città") << QStringLiteral("Forlì €");
    QTest::newRow("600 characters cut to 511")
        << QByteArray("[S]\r\nLong=" + QByteArray(600, 'v') + "\r\n") << "S"
        << "Long" << QString(511, QLatin1Char('v'));
    QTest::newRow("key with no equals sign has no value") << QByteArray("[S]\r\nFlag\r\n") << "S"
                                                          << "Flag" << QString();
}

void TestIniGest::readProfile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QVERIFY(writeFile(content));
    QCOMPARE(ReadIniValue(m_path, section, key), expected);
    QCOMPARE(fileBytes(), content);
}

// An unquoted 180 reads as 180 through the profile call and as 8 through the line scan.
void TestIniGest::readAroundSizeLimit_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("expected");
    QTest::newRow("64000 bytes: profile call") << kProfileReadLimit << "180";
    QTest::newRow("64001 bytes: line scan") << kProfileReadLimit + 1 << "8";
}

void TestIniGest::readAroundSizeLimit() {
    QFETCH(qint64, size);
    QFETCH(QString, expected);
    QVERIFY(writeFile(paddedTo("[Settings]\r\nTimer=180\r\n", size)));
    QCOMPARE(QFile(m_path).size(), size);
    QCOMPARE(ReadIniValue(m_path, QStringLiteral("Settings"), QStringLiteral("Timer")), expected);
}

void TestIniGest::readByLineScan_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quoted value") << QByteArray("[Settings]\r\nTimer=\"180\"\r\n") << "Timer"
                                  << "180";
    QTest::newRow("longer key that begins with the key")
        << QByteArray("[Settings]\r\nLogFile=\"x\"\r\nLog=\"1\"\r\n") << "Log"
        << "le=\"x";
    QTest::newRow("first line anywhere wins, whatever its section")
        << QByteArray("[Other]\r\nTimer=\"5\"\r\n[Settings]\r\nTimer=\"180\"\r\n") << "Timer"
        << "5";
    QTest::newRow("case matters") << QByteArray("[Settings]\r\ntimer=\"180\"\r\n") << "Timer"
                                  << QString();
    QTest::newRow("value shorter than its quotes")
        << QByteArray("[Settings]\r\nTimer=\r\n") << "Timer" << QString();
    QTest::newRow("windows-1252 value")
        << QByteArray("Nome=\"Forl\xec\"\n") << "Nome" << QStringLiteral("Forlì");
}

void TestIniGest::readByLineScan() {
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QVERIFY(writeFile(paddedTo(content, kProfileReadLimit + 100)));
    QCOMPARE(ReadIniValue(m_path, QStringLiteral("Settings"), key), expected);
}

void TestIniGest::write_data() {
    QTest::addColumn<QByteArray>("before"); // "<missing>": no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray("<missing>") << "Settings"
                              << "Timer"
                              << "180" << QByteArray("[Settings]\r\nTimer=180\r\n");
    QTest::newRow("empty file") << QByteArray() << "Settings"
                                << "Timer"
                                << "180" << QByteArray("[Settings]\r\nTimer=180\r\n");
    QTest::newRow("replaced in place, order kept")
        << QByteArray("[Settings]\r\nTimer=180\r\nLog=0\r\nTotalSync=0\r\n") << "Settings"
        << "log"
        << "1" << QByteArray("[Settings]\r\nTimer=180\r\nLog=1\r\nTotalSync=0\r\n");
    QTest::newRow("blanks before the equals sign kept") << QByteArray("[S]\r\nA = 1\r\n") << "s"
                                                        << "A"
                                                        << "2" << QByteArray("[S]\r\nA = 2\r\n");
    QTest::newRow("missing key after the section's last key")
        << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n") << "S"
        << "C"
        << "3" << QByteArray("[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\nB=2\r\n");
    QTest::newRow("missing section appended") << QByteArray("[T]\r\nB=2\r\n") << "S"
                                              << "A"
                                              << "1" << QByteArray("[T]\r\nB=2\r\n[S]\r\nA=1\r\n");
    QTest::newRow("last line without line end") << QByteArray("[S]\r\nA=1") << "S"
                                                << "B"
                                                << "2" << QByteArray("[S]\r\nA=1\r\nB=2\r\n");
    QTest::newRow("unix line ends kept") << QByteArray("[S]\nA=1\n") << "S"
                                         << "B"
                                         << "2" << QByteArray("[S]\nA=1\nB=2\n");
    QTest::newRow("same value leaves the file as it was")
        << QByteArray("; note\r\n[S]\r\nA=1\r\n") << "S"
        << "A"
        << "1" << QByteArray("; note\r\n[S]\r\nA=1\r\n");
    QTest::newRow("windows-1252 value")
        << QByteArray("[S]\r\n") << "S"
        << "A" << QStringLiteral("è€") << QByteArray("[S]\r\nA=\xe8\x80\r\n");
}

void TestIniGest::write() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (before != "<missing>")
        QVERIFY(writeFile(before));
    QVERIFY(WriteIniValue(m_path, section, key, value) != 0);
    QCOMPARE(fileBytes(), after);
    QCOMPARE(ReadIniValue(m_path, section, key), value.trimmed());
}

void TestIniGest::writeRefusesWhatWouldBreakTheFile_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("value with a line break adds no key") << "S"
                                                         << "A"
                                                         << "1\r\nLog=1";
    QTest::newRow("key with an equals sign") << "S"
                                             << "A=B"
                                             << "1";
    QTest::newRow("key that reads as a section") << "S"
                                                 << "[T]"
                                                 << "1";
    QTest::newRow("section with a closing bracket") << "S]x"
                                                    << "A"
                                                    << "1";
    QTest::newRow("empty key") << "S" << QString() << "1";
}

void TestIniGest::writeRefusesWhatWouldBreakTheFile() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray before = "[S]\r\nA=0\r\n";
    QVERIFY(writeFile(before));
    QCOMPARE(WriteIniValue(m_path, section, key, value), 0);
    QCOMPARE(fileBytes(), before);
}

QTEST_APPLESS_MAIN(TestIniGest)
#include "tst_inigest.moc"
