#include "bubble/AttachmentPath.h"
#include "bubble/BubbleGeometry.h"
#include "bubble/LinkTarget.h"
#include "bubble/TextHelpers.h"
#include "core/Windows1252.h"

#include <QTest>

using namespace BubbleGeometry;

namespace {

// Codes 32 to 255 but DEL and the five codes Windows-1252 leaves undefined.
QString everyPrintableCharacter() {
    QByteArray codes;
    for (int code = 32; code < 256; ++code)
        if (code != 127 && code != 129 && code != 141 && code != 143 && code != 144 && code != 157)
            codes += char(code);
    return Windows1252::decode(codes);
}

} // namespace
using namespace Qt::StringLiterals;

// What a bubble makes of a message apart from any widget: text, sizes in twips, addresses.
class TestBubbleLogic : public QObject {
    Q_OBJECT
private slots:
    void htmlToText_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("br is CR LF, tags vanish") << u"<b>a</b><br>b"_s << u"a\r\nb"_s;
        QTest::newRow("upper-case BR is an ordinary tag") << u"a<BR>b"_s << u"ab"_s;
        QTest::newRow("lone < ends the conversion, kept") << u"<i>3</i> < 4"_s << u"3 < 4"_s;
        QTest::newRow("lone < runs to the next tag end") << u"a < b <i>c</i>"_s << u"a c"_s;
    }
    void htmlToText() {
        QFETCH(QString, html);
        QTEST(HtmlToText(html), "text");
    }

    void countWrappedLines_data() {
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        // "W" is 150 wide, times 1.2.
        QTest::newRow("W exactly fits 180") << 180 << u"W"_s << 0;
        QTest::newRow("W wider than 179 wraps") << 179 << u"W"_s << 1;
        QTest::newRow("45 W and a line") << 4000 << QString(45, u'W') + u"\r\nb"_s << 3;
        QTest::newRow("control codes width 0") << 0 << QString(10, QChar(0x01)) << 0;
        QTest::newRow("unmapped character is ?, 90 wide") << 107 << u"Ω"_s << 1;
        // Every entry of the table counts: one changed by a single twip moves the sum across.
        QTest::newRow("every printable character once: 19057 x 1.2 fits 22869")
            << 22869 << everyPrintableCharacter() << 0;
        QTest::newRow("every printable character once: 22868 wraps the last")
            << 22868 << everyPrintableCharacter() << 1;
        QTest::newRow("over 65000 characters give 0") << 100 << QString(65001, u'W') << 0;
        QTest::newRow("65000 characters saturate") << 0 << QString(65000, u'W') << 32767;
    }
    void countWrappedLines() {
        QFETCH(int, maxWidth);
        QFETCH(QString, text);
        QTEST(int(CountWrappedLines(maxWidth, text)), "lines");
    }

    void hardLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF is one break") << u"a\r\nb"_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("lone CR and lone LF break too")
            << u"a\rb\nc"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
        QTest::newRow("LF CR is two breaks")
            << u"a\n\rb"_s << QStringList{u"a"_s, QString(), u"b"_s};
        QTest::newRow("empty text, one line") << QString() << QStringList{QString()};
    }
    void hardLines() {
        QFETCH(QString, text);
        QTEST(HardLines(text), "lines");
    }

    void exactlyTheWidestTextCountsHardLines() {
        const TextLayout l = layoutText(4000, u"a\r\nb\r\nc"_s, 3);
        QCOMPARE(QList({l.textWidth, l.textHeight, l.shapeWidth, l.shapeHeight, l.controlHeight}),
                 QList({4000, 735, 4210, 850, 900}));
    }

    void pictureWithoutUsableWidthKeepsItsHeight() {
        QCOMPARE(layoutPicture(0, 1, 540).thumbnailHeight, 540);
        QCOMPARE(layoutPicture(15000, 444614, 2415).thumbnailHeight, 143166);        // over 32 bits
        QCOMPARE(layoutPicture(1, 1'000'000'000, 540).thumbnailHeight, 100'000'000); // capped
    }

    void linkTarget_data() {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("url");
        QTest::newRow("HTTPS keeps the path")
            << u"HTTPS://ESEMPIO.IT/A"_s << u"https://esempio.it/A"_s;
        QTest::newRow("www gets http://") << u"www.esempio.it"_s << u"http://www.esempio.it"_s;
        QTest::newRow("file scheme is never opened") << u"file:///etc/passwd"_s << QString();
        QTest::newRow("javascript is never opened") << u"javascript:alert(1)"_s << QString();
        QTest::newRow("no host") << u"http:///abcdefgh"_s << QString();
        QTest::newRow("| encoded")
            << u"https://example.com/a|b"_s << u"https://example.com/a%7Cb"_s;
        QTest::newRow("braces encoded")
            << u"https://example.com/{x}"_s << u"https://example.com/%7Bx%7D"_s;
        QTest::newRow("lone % encoded")
            << u"https://example.com/100%"_s << u"https://example.com/100%25"_s;
        QTest::newRow("^ in the query encoded")
            << u"www.esempio.it/ricerca?q=a^b"_s << u"http://www.esempio.it/ricerca?q=a%5Eb"_s;
    }
    void linkTarget() {
        QFETCH(QString, shown);
        QTEST(LinkTarget(shown).toString(), "url");
    }

    void attachmentPath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("subfolder with backslash") << u"a\\b.jpg"_s << u"/app/TempImg/a/b.jpg"_s;
        QTest::newRow("parent folder") << u"..\\setws.ini"_s << QString();
        QTest::newRow("parent folder further in") << u"a/../../x.png"_s << QString();
        QTest::newRow("absolute path") << u"/etc/passwd"_s << QString();
        QTest::newRow("absolute Windows path") << u"C:\\win.ini"_s << QString();
    }
    void attachmentPath() {
        QFETCH(QString, name);
        QTEST(AttachmentPath(u"/app"_s, name), "path");
    }
};

QTEST_GUILESS_MAIN(TestBubbleLogic)
#include "tst_bubblelogic.moc"
