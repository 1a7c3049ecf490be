#include "service/Base64.h"

#include <QTest>

namespace {

// Base64 of "aaa"; runs of the letter a make every group of a long output the same.
const QString kGroup = QStringLiteral("YWFh");
const QString kFullLine = kGroup.repeated(18) + QStringLiteral("\r\n");

} // namespace

class TestBase64 : public QObject {
    Q_OBJECT
private slots:
    void encode_data();
    void encode();
    void linesDecodeBackToTheBytes();
};

void TestBase64::encode_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty stays empty") << QString() << QString();
    QTest::newRow("abc, no padding") << "abc"
                                     << "YWJj";
    QTest::newRow("a, two pad characters") << "a"
                                           << "YQ==";
    QTest::newRow("ab, one pad character") << "ab"
                                           << "YWI=";
    QTest::newRow("52 bytes: two pads before the final line break")
        << QString(52, u'a') << kGroup.repeated(17) + "YQ==\r\n";
    QTest::newRow("53 bytes: one pad before the final line break")
        << QString(53, u'a') << kGroup.repeated(17) + "YWE=\r\n";
    QTest::newRow("54 bytes: one full line") << QString(54, u'a') << kFullLine;
    QTest::newRow("55 bytes: padded group on a new line")
        << QString(55, u'a') << kFullLine + "YQ==";
    QTest::newRow("57 bytes: line break, then four characters")
        << QString(57, u'a') << kFullLine + kGroup;
    QTest::newRow("162 bytes: three full lines") << QString(162, u'a') << kFullLine.repeated(3);
    QTest::newRow("euro sign is Windows-1252 byte 0x80") << QStringLiteral("€") << "gA==";
    QTest::newRow("accented letter is one byte") << QStringLiteral("è") << "6A==";
    QTest::newRow("character outside the code page becomes ?") << QStringLiteral("Ω") << "Pw==";
    QTest::newRow("character beyond 16 bits is one ?")
        << QString::fromUcs4(U"a\U0001F600b") << "YT9i";
    QTest::newRow("C1 control the code page lacks becomes ?") << QStringLiteral("\u0080") << "Pw==";
    QTest::newRow("highest bits in every position") << QStringLiteral("ÿÿÿ") << "////";
}

void TestBase64::encode() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Base64().Encode(input), expected);
}

void TestBase64::linesDecodeBackToTheBytes() {
    QString input;
    for (int size = 0; size <= 300; ++size) {
        const QString encoded = Base64().Encode(input);
        const QStringList lines = encoded.split(QStringLiteral("\r\n"));
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QCOMPARE(lines[i].size(), 72);
        QVERIFY(lines.last().size() < 72);
        QCOMPARE(QByteArray::fromBase64(lines.join(QString()).toLatin1()), input.toLatin1());
        input += QChar(u'A' + size % 26);
    }
}

QTEST_APPLESS_MAIN(TestBase64)
#include "tst_base64.moc"
