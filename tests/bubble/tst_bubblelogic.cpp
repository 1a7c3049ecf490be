#include "bubble/AttachmentPath.h"
#include "bubble/BubbleGeometry.h"
#include "bubble/LinkTarget.h"
#include "bubble/TextHelpers.h"
#include "core/Windows1252.h"

#include <QTest>

using namespace BubbleGeometry;
using namespace Qt::StringLiterals;

// Codes 32 to 255 but DEL and the five codes Windows-1252 leaves undefined.
static QString everyPrintableCharacter() {
    QByteArray codes;
    for (int code = 32; code < 256; ++code)
        if (code != 127 && code != 129 && code != 141 && code != 143 && code != 144 && code != 157)
            codes += char(code);
    return Windows1252::decode(codes);
}

// What a bubble makes of a message apart from any widget: text, sizes in twips, addresses.
class TestBubbleLogic : public QObject {
    Q_OBJECT
private slots:
    void htmlToText_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("br is CR LF, tags vanish") << u"<b>a</b><br>b"_s << u"a\r\nb"_s;
        QTest::newRow("lone < ends the conversion, kept") << u"<i>3</i> < 4"_s << u"3 < 4"_s;
    }
    void htmlToText() {
        QFETCH(QString, html);
        QTEST(HtmlToText(html), "text");
    }

    void countWrappedLines_data() {
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::newRow("W, 150 x 1.2, exactly fits 180") << 180 << u"W"_s << 0;
        QTest::newRow("45 W and a line") << 4000 << QString(45, u'W') + u"\r\nb"_s << 3;
        QTest::newRow("unmapped character is ?, 90 wide") << 107 << u"Ω"_s << 1;
        // Every entry counts: one a twip off moves the sum, 19057 x 1.2, across one boundary.
        QTest::newRow("all printable fit 22869") << 22869 << everyPrintableCharacter() << 0;
        QTest::newRow("all printable wrap at 22868") << 22868 << everyPrintableCharacter() << 1;
        QTest::newRow("over 65000 characters give 0") << 100 << QString(65001, u'W') << 0;
        QTest::newRow("65000 characters saturate") << 0 << QString(65000, u'W') << 32767;
    }
    void countWrappedLines() {
        QFETCH(int, maxWidth);
        QFETCH(QString, text);
        QTEST(int(CountWrappedLines(maxWidth, text)), "lines");
    }

    // LF CR is two breaks; a picture's product needs more than 32 bits, a billion twips is capped.
    void heights() {
        const auto l = layoutText(4000, u"a\n\rb"_s, 1);
        QCOMPARE(QList({l.textWidth, l.textHeight, l.shapeWidth, l.shapeHeight, l.controlHeight}),
                 QList({4000, 735, 4210, 850, 900}));
        QCOMPARE(layoutPicture(15000, 444614, 2415).thumbnailHeight, 143166);
        QCOMPARE(layoutPicture(1, 1'000'000'000, 540).thumbnailHeight, 100'000'000);
    }

    void linkTarget_data() {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("url");
        QTest::newRow("HTTPS, path kept") << u"HTTPS://ESEMPIO.IT/A"_s << u"https://esempio.it/A"_s;
        QTest::newRow("www gets http://") << u"www.esempio.it"_s << u"http://www.esempio.it"_s;
        QTest::newRow("javascript is never opened") << u"javascript:alert(1)"_s << QString();
        QTest::newRow("no host") << u"http:///abcdefgh"_s << QString();
        QTest::newRow("| ^ encoded") << u"www.es.it/?q=^|"_s << u"http://www.es.it/?q=%5E%7C"_s;
    }
    void linkTarget() {
        QFETCH(QString, shown);
        QTEST(LinkTarget(shown).toString(), "url");
    }

    void attachmentPath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("subfolder with backslash") << u"a\\b.jpg"_s << u"/app/TempImg/a/b.jpg"_s;
        QTest::newRow("absolute path") << u"/etc/passwd"_s << QString();
    }
    void attachmentPath() {
        QFETCH(QString, name);
        QTEST(AttachmentPath(u"/app"_s, name), "path");
    }
};

QTEST_GUILESS_MAIN(TestBubbleLogic)
#include "tst_bubblelogic.moc"
