#include "TestFiles.h"
#include "TestPictures.h"

#include "bubble/AttachmentPath.h"
#include "bubble/BubbleGeometry.h"
#include "bubble/CtrMsg.h"
#include "bubble/LinkTarget.h"
#include "bubble/TextHelpers.h"
#include "core/AppState.h"
#include "core/Windows1252.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// What a bubble makes of a message apart from any widget: text, sizes and rectangles in twips,
// addresses.
class TestBubble : public QObject {
    Q_OBJECT
    QTemporaryDir m_app;

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_app.path()).mkpath(u"TempImg"_s));
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(writeFile(m_app.filePath(u"TempImg/notes.png"_s), "solo testo"));
        QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(m_app.filePath(u"outside.png"_s)));
        QVERIFY(
            writeFile(m_app.filePath(u"TempImg/girata.jpg"_s), jpegWithOrientation({200, 100}, 6)));
    }

    void htmlToText() {
        QCOMPARE(HtmlToText(u"<b>a</b><br>b"_s), u"a\r\nb"_s);
        QCOMPARE(HtmlToText(u"<i>3</i> < 4"_s), u"3 < 4"_s); // a lone < ends the conversion
    }

    void countWrappedLines_data() {
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QByteArray printable; // codes 32 to 255 but DEL and the five Windows-1252 leaves undefined
        for (int code = 32; code < 256; ++code)
            if (!QByteArray("\x7f\x81\x8d\x8f\x90\x9d").contains(char(code)))
                printable += char(code);
        QTest::newRow("W, 150 x 1.2, exactly fits 180") << 180 << u"W"_s << 0;
        QTest::newRow("45 W and a line") << 4000 << QString(45, u'W') + u"\r\nb"_s << 3;
        QTest::newRow("unmapped character is ?, 90 wide") << 107 << u"Ω"_s << 1;
        // Every entry counts: one a twip off moves the sum, 19057 x 1.2, across one boundary.
        QTest::newRow("all printable fit 22869") << 22869 << Windows1252::decode(printable) << 0;
        QTest::newRow("all printable wrap at 22868")
            << 22868 << Windows1252::decode(printable) << 1;
        QTest::newRow("over 65000 characters give 0") << 100 << QString(65001, u'W') << 0;
        QTest::newRow("65000 characters saturate") << 0 << QString(65000, u'W') << 32767;
    }
    void countWrappedLines() {
        QFETCH(int, maxWidth);
        QFETCH(QString, text);
        QTEST(int(CountWrappedLines(maxWidth, text)), "lines");
    }

    // Links open on the web alone, attachments only from inside the picture folder.
    void addresses() {
        QCOMPARE(LinkTarget(u"HTTPS://ESEMPIO.IT/A"_s).toString(), u"https://esempio.it/A"_s);
        QCOMPARE(LinkTarget(u"www.es.it/?q=^|"_s).toString(), u"http://www.es.it/?q=%5E%7C"_s);
        QCOMPARE(LinkTarget(u"javascript:alert(1)"_s), QUrl());
        QCOMPARE(AttachmentPath(u"/app"_s, u"a\\b.jpg"_s), u"/app/TempImg/a/b.jpg"_s);
        QCOMPARE(AttachmentPath(u"/app"_s, u"/etc/passwd"_s), QString());
    }

    void text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("textSize");
        QTest::newRow("LF CR is two breaks") << u"uno\n\rdue"_s << QSize(330, 735);
        // "r", "f" and "t" are wider in the width table than in the font.
        QTest::newRow("table's 5 lines, not 4") << u"ff rr tt "_s.repeated(30) << QSize(4000, 1225);
        QTest::newRow("laid-out 10 lines, not 9") << u"parola "_s.repeated(60) << QSize(4000, 2450);
    }
    void text() {
        QFETCH(QString, text);
        QFETCH(QSize, textSize);
        CtrMsg bubble;
        bubble.setTesto(text, true);
        QCOMPARE(bubble.textRect(), QRect(QPoint(1080, 75), textSize));
        QCOMPARE(bubble.shapeRect(),
                 QRect(975, 30, textSize.width() + 210, textSize.height() + 115));
        QCOMPARE(bubble.heightTwips(), textSize.height() + 165);
    }

    // Without a picture the text stays and the bubble keeps its rounded corners.
    void picture_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("shape"); // empty: no picture shown
        QTest::addColumn<int>("height");
        QTest::newRow("200x100 JPEG stored on its side: upright, enlarged")
            << u"girata.jpg"_s << QRect(975, 30, 5040, 9775) << 9780;
        QTest::newRow("not a picture keeps the thumbnail's 540")
            << u"notes.png"_s << QRect(975, 30, 5040, 655) << 660;
        QTest::newRow("outside the picture folder") << u"../outside.png"_s << QRect() << 570;
    }
    void picture() {
        QFETCH(QString, name);
        QFETCH(QRect, shape);
        CtrMsg bubble;
        bubble.setImmagineAttach(name);
        QCOMPARE(bubble.showsPicture(), !shape.isNull());
        QCOMPARE(bubble.showsText() && bubble.isRounded(), shape.isNull());
        QCOMPARE(bubble.shapeRect(), shape.isNull() ? QRect(975, 30, 4905, 345) : shape);
        QTEST(bubble.heightTwips(), "height");
    }

    // A picture's product needs more than 32 bits; a billion twips are capped.
    void pictureHeights() {
        QCOMPARE(BubbleGeometry::layoutPicture(15000, 444614, 2415).thumbnailHeight, 143166);
        QCOMPARE(BubbleGeometry::layoutPicture(1, 1'000'000'000, 540).thumbnailHeight, 100'000'000);
    }
};

QTEST_MAIN(TestBubble)
#include "tst_bubble.moc"
