#include "bubble/CtrMsg.h"

#include "core/AppState.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The message that the width table gives three lines and the laid-out text four.
const QString kCutText = u"Ho controllato il suo archivio: i dati sono corretti, ma l'ultimo "
                         u"aggiornamento non ha completato la sincronizzazione dell'archivio "
                         u"clienti."_s;

enum class Thumbnail { None, Painted, Empty };

} // namespace

// A bubble as a value: its properties and its rectangles in twips, no widget anywhere.
class TestCtrMsg : public QObject {
    Q_OBJECT
    QTemporaryDir m_appFolder;

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_appFolder.path()).mkpath(u"TempImg/sub"_s));
        AppState::instance().ApplicationFolder = m_appFolder.path();
        const QString folder = m_appFolder.path() + u"/TempImg/"_s;
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(folder + u"wide.png"_s));
        QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(folder + u"sub/square.jpg"_s));
        QImage tall(200, 30000, QImage::Format_Mono);
        tall.fill(0);
        QVERIFY(tall.save(folder + u"tall.png"_s));
        QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(folder + u"../outside.png"_s));
        QFile notes(folder + u"notes.png"_s);
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("solo testo") > 0);
    }

    void propertyBag() {
        CtrMsg bubble;
        bubble.setForeColor(0x00123456); // the text colour is never written
        bubble.setData(u"9:05"_s);
        bubble.setTesto(u"a<br>b"_s);
        bubble.setIdOperatore(3);
        QVariantMap bag{{u"Data"_s, u"9:05"_s}, {u"Testo"_s, u"a\r\nb"_s}, {u"IdOperatore"_s, 3}};
        QCOMPARE(bubble.writeProperties(), bag);
        CtrMsg restored;
        restored.readProperties(bag);
        QCOMPARE(restored.writeProperties(), bag);
        QVERIFY(restored.showsBadge());
        QCOMPARE(restored.ForeColor(), 0u); // absent: black
        restored.readProperties({{u"BackColor"_s, u"blu"_s}, {u"IdOperatore"_s, u"tre"_s}});
        QCOMPARE(restored.writeProperties(), QVariantMap()); // unreadable values are defaults
        QVERIFY(!restored.showsBadge());
    }

    void badgeAndTime() {
        CtrMsg bubble;
        bubble.setIdOperatore(1);
        QVERIFY(bubble.showsBadge() && bubble.showsTime());
        bubble.setIdOperatore(-3); // not an operator: the time goes for good
        bubble.setIdOperatore(5);
        QVERIFY(bubble.showsBadge() && !bubble.showsTime());
        bubble.setIdOperatore(0);
        QVERIFY(!bubble.showsBadge());
    }

    void text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("textRect");
        QTest::addColumn<int>("height");
        QTest::newRow("empty: one line") << QString() << QRect(1080, 75, 0, 245) << 410;
        QTest::newRow("one short line") << u"ciao"_s << QRect(1080, 75, 360, 245) << 410;
        QTest::newRow("a bare line feed is a line too")
            << u"uno\ndue"_s << QRect(1080, 75, 330, 490) << 655;
        QTest::newRow("upper-case BR is no break")
            << u"uno<BR>due"_s << QRect(1080, 75, 1155, 245) << 410;
        // "r", "f" and "t" are wider in the width table than in the font.
        QTest::newRow("the width table's estimate when larger: 5 lines, not 4")
            << u"ff rr tt "_s.repeated(30) << QRect(1080, 75, 4000, 1225) << 1390;
        QTest::newRow("the laid-out lines when more: 4, not 3")
            << kCutText << QRect(1080, 75, 4000, 980) << 1145;
        QTest::newRow("the laid-out lines when more: 10, not 9")
            << u"parola "_s.repeated(60) << QRect(1080, 75, 4000, 2450) << 2615;
        QTest::newRow("200 lines")
            << u"x<br>"_s.repeated(199) + u'x' << QRect(1080, 75, 105, 49000) << 49165;
    }
    void text() {
        QFETCH(QString, text);
        QFETCH(QRect, textRect);
        CtrMsg bubble;
        bubble.setTesto(text, true);
        QCOMPARE(bubble.textRect(), textRect);
        QCOMPARE(bubble.shapeRect(),
                 QRect(975, 30, textRect.width() + 210, textRect.height() + 115));
        QTEST(bubble.heightTwips(), "height");
        QVERIFY(bubble.showsText() && bubble.isLink() && bubble.isRounded());
    }

    void picture_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Thumbnail>("thumbnail");
        QTest::addColumn<QRect>("pictureRect"); // thumbnail or not, the one after the write
        QTest::addColumn<int>("height");
        QTest::newRow("644x322 PNG reduced")
            << u"wide.png"_s << Thumbnail::Painted << QRect(945, 30, 4830, 2415) << 2535;
        QTest::newRow("100x100 JPEG in a subfolder enlarged")
            << u"sub/square.jpg"_s << Thumbnail::Painted << QRect(945, 30, 4830, 4830) << 4950;
        QTest::newRow("200x30000 keeps its proportions")
            << u"tall.png"_s << Thumbnail::Painted << QRect(945, 30, 4830, 724500) << 724620;
        QTest::newRow("not a picture keeps the thumbnail's size")
            << u"notes.png"_s << Thumbnail::Empty << QRect(945, 30, 4830, 540) << 660;
        QTest::newRow("missing file")
            << u"missing.png"_s << Thumbnail::None << QRect(945, 30, 4830, 540) << 570;
        QTest::newRow("outside the picture folder")
            << u"../outside.png"_s << Thumbnail::None << QRect(945, 30, 4830, 540) << 570;
    }
    void picture() {
        QFETCH(QString, name);
        QFETCH(Thumbnail, thumbnail);
        QFETCH(QRect, pictureRect);
        CtrMsg bubble;
        bubble.setImmagineAttach(name);
        QCOMPARE(bubble.showsPicture(), thumbnail != Thumbnail::None);
        QCOMPARE(bubble.picturePath().isEmpty(), thumbnail != Thumbnail::Painted);
        QCOMPARE(bubble.pictureRect(), pictureRect);
        QTEST(bubble.heightTwips(), "height");
        // Without a thumbnail the text stays and the bubble keeps its rounded corners.
        QCOMPARE(bubble.showsText(), thumbnail == Thumbnail::None);
        QCOMPARE(bubble.isRounded(), thumbnail == Thumbnail::None);
        if (thumbnail != Thumbnail::None)
            QCOMPARE(bubble.shapeRect(), QRect(975, 30, 5040, pictureRect.height() + 115));
        bubble.setTesto(u"ciao"_s);
        QVERIFY(bubble.showsText());
        QCOMPARE(bubble.heightTwips(), 410);
    }
};

QTEST_MAIN(TestCtrMsg)
#include "tst_ctrmsg.moc"
