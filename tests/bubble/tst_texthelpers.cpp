#include "bubble/TextHelpers.h"

#include <QTest>

class TestTextHelpers : public QObject {
    Q_OBJECT
private slots:
    void htmlToText_data();
    void htmlToText();
    void countOccurrences_data();
    void countOccurrences();
    void countWrappedLines_data();
    void countWrappedLines();
};

void TestTextHelpers::htmlToText_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::newRow("bold tag and line break") << "<b>Ciao</b><br>a tutti"
                                             << "Ciao\r\na tutti";
    QTest::newRow("no tag keeps line breaks") << "riga uno\r\nriga due"
                                              << "riga uno\r\nriga due";
    QTest::newRow("tag attributes vanish") << "<a href=\"http://x.it\">sito</a> qui"
                                           << "sito qui";
    QTest::newRow("upper-case BR is an ordinary tag") << "a<BR>b"
                                                      << "ab";
    QTest::newRow("br with a slash is an ordinary tag") << "a<br/>b"
                                                        << "ab";
    QTest::newRow("lone < ends the conversion, kept") << "<i>3</i> < 4 ok"
                                                      << "3 < 4 ok";
    QTest::newRow("lone < runs to the next tag end") << "a < b <i>c</i>"
                                                     << "a c";
    QTest::newRow("> without < stays") << "3 > 2"
                                       << "3 > 2";
    QTest::newRow("nested < inside a tag") << "x<<b>y"
                                           << "xy";
    QTest::newRow("entities are not decoded") << "&lt;ciao&gt;"
                                              << "&lt;ciao&gt;";
    QTest::newRow("empty tag") << "a<>b"
                               << "ab";
    QTest::newRow("empty text") << ""
                                << "";
}

void TestTextHelpers::htmlToText() {
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(HtmlToText(html), text);
}

void TestTextHelpers::countOccurrences_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("part");
    QTest::addColumn<int>("count");
    QTest::newRow("two <") << "<a> e <b>"
                           << "<" << 2;
    QTest::newRow("none") << "ciao"
                          << "<" << 0;
    QTest::newRow("case-sensitive") << "Aaa"
                                    << "a" << 2;
    QTest::newRow("longer part counts its characters") << "abab"
                                                       << "ab" << 4;
    QTest::newRow("empty part") << "abc"
                                << "" << 0;
    QTest::newRow("saturates past 16 bits") << QString(40000, QLatin1Char('<')) << "<" << 32767;
}

void TestTextHelpers::countOccurrences() {
    QFETCH(QString, text);
    QFETCH(QString, part);
    QFETCH(int, count);
    QCOMPARE(int(CountOccurrences(text, part)), count);
}

void TestTextHelpers::countWrappedLines_data() {
    QTest::addColumn<int>("maxWidth");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << 4000 << "" << 0;
    QTest::newRow("W exactly fits 180") << 180 << "W" << 0;
    QTest::newRow("W wider than 179 wraps") << 179 << "W" << 1;
    QTest::newRow("WW at 180") << 180 << "WW" << 1;
    QTest::newRow("45 W at 4000") << 4000 << QString(45, QLatin1Char('W')) << 2;
    QTest::newRow("22 W fill 3960 of 4000") << 4000 << QString(22, QLatin1Char('W')) << 0;
    QTest::newRow("23rd W wraps") << 4000 << QString(23, QLatin1Char('W')) << 1;
    QTest::newRow("two hard lines at 180") << 180 << "a\r\nb" << 1;
    QTest::newRow("two hard lines, wide") << 4000 << "a\r\nb" << 1;
    QTest::newRow("three hard lines") << 4000 << "a\r\nb\r\nc" << 2;
    QTest::newRow("carriage returns alone") << 4000 << "\r\r" << 2;
    // "&" is 52 wide: 52 * 1.2 = 62.4; 3 fit 187.2 > 180, 2 fit 124.8.
    QTest::newRow("ampersand width 52") << 180 << "&&&" << 1;
    // Undefined code 0x81 is 1 wide: 150 of them make 180 exactly.
    QTest::newRow("undefined codes width 1") << 180 << QString(150, QChar(0x81)) << 0;
    QTest::newRow("control codes width 0") << 0 << QString(10, QChar(0x01)) << 0;
    // Euro sign is code 128, 90 wide: two make 216.
    QTest::newRow("euro by its ANSI code") << 216 << QStringLiteral("€€") << 0;
    QTest::newRow("euro past the width") << 215 << QStringLiteral("€€") << 1;
    // Outside the code page: "?" 90 wide, not a 0-wide code.
    QTest::newRow("unmapped character is ?") << 107 << QStringLiteral("Ω") << 1;
    QTest::newRow("over 65000 characters") << 100 << QString(65001, QLatin1Char('W')) << 0;
    QTest::newRow("65000 characters still counted")
        << 100000 << QString(65000, QLatin1Char('i')) << 23;
    QTest::newRow("long line saturates") << 0 << QString(65000, QLatin1Char('W')) << 32767;
}

void TestTextHelpers::countWrappedLines() {
    QFETCH(int, maxWidth);
    QFETCH(QString, text);
    QFETCH(int, lines);
    QCOMPARE(int(CountWrappedLines(maxWidth, text)), lines);
}

QTEST_APPLESS_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
