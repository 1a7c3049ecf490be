#include "TestFiles.h"
#include "TestPictures.h"

#include "bubble/CtrMsg.h"

#include "core/AppState.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

enum class Thumbnail { None, Painted, Empty };

// A bubble as a value: its properties and its rectangles in twips, no widget anywhere.
class TestCtrMsg : public QObject {
    Q_OBJECT
    QTemporaryDir m_appFolder;

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_appFolder.path()).mkpath(u"TempImg"_s));
        AppState::instance().ApplicationFolder = m_appFolder.path();
        const QString folder = m_appFolder.filePath(u"TempImg/"_s);
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(folder + u"wide.png"_s));
        QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(folder + u"../outside.png"_s));
        QVERIFY(writeFile(folder + u"notes.png"_s, "solo testo"));
        QVERIFY(writeFile(folder + u"girata.jpg"_s, jpegWithOrientation({200, 100}, 6)));
    }

    void operatorBubble() {
        CtrMsg bubble;
        bubble.setIdOperatore(1);
        QVERIFY(bubble.showsBadge() && bubble.showsTime());
        bubble.setIdOperatore(-3); // not an operator: the time goes for good
        bubble.setIdOperatore(5);
        QVERIFY(bubble.showsBadge() && !bubble.showsTime());
    }

    void text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("textSize");
        QTest::newRow("a line feed breaks") << u"uno\ndue"_s << QSize(330, 490);
        // "r", "f" and "t" are wider in the width table than in the font.
        QTest::newRow("table's 5 lines, not 4") << u"ff rr tt "_s.repeated(30) << QSize(4000, 1225);
        QTest::newRow("laid-out 10 lines, not 9") << u"parola "_s.repeated(60) << QSize(4000, 2450);
        QTest::newRow("200 lines") << u"x\r\n"_s.repeated(199) + u'x' << QSize(105, 49000);
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

    // Without a thumbnail the text stays and the bubble keeps its rounded corners.
    void picture_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Thumbnail>("thumbnail");
        QTest::addColumn<int>("pictureHeight"); // thumbnail or not, the one after the write
        QTest::addColumn<int>("height");
        QTest::newRow("644x322 PNG reduced") << u"wide.png"_s << Thumbnail::Painted << 2415 << 2535;
        QTest::newRow("200x100 JPEG stored on its side: upright, enlarged")
            << u"girata.jpg"_s << Thumbnail::Painted << 9660 << 9780;
        QTest::newRow("not a picture keeps the thumbnail's size")
            << u"notes.png"_s << Thumbnail::Empty << 540 << 660;
        QTest::newRow("outside the picture folder")
            << u"../outside.png"_s << Thumbnail::None << 540 << 570;
    }
    void picture() {
        QFETCH(QString, name);
        QFETCH(Thumbnail, thumbnail);
        QFETCH(int, pictureHeight);
        CtrMsg bubble;
        bubble.setImmagineAttach(name);
        const bool none = thumbnail == Thumbnail::None;
        QCOMPARE((QList<bool>{bubble.showsPicture(), bubble.picturePath().isEmpty(),
                              bubble.showsText(), bubble.isRounded()}),
                 (QList<bool>{!none, thumbnail != Thumbnail::Painted, none, none}));
        QCOMPARE(bubble.pictureRect(), QRect(945, 30, 4830, pictureHeight));
        QTEST(bubble.heightTwips(), "height");
        QCOMPARE(bubble.shapeRect(),
                 none ? QRect(975, 30, 4905, 345) : QRect(975, 30, 5040, pictureHeight + 115));
    }
};

QTEST_MAIN(TestCtrMsg)
#include "tst_ctrmsg.moc"
