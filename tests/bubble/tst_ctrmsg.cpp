#include "bubble/CtrMsg.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "bubble/BubbleShape.h"
#include "viewer/ImgFrm.h"

#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

// A missing child fails the test by a null dereference.
template<class T = QWidget> T *child(const QWidget &parent, const char *name) {
    return parent.findChild<T *>(QLatin1String(name));
}

bool shown(const char *name, const CtrMsg &bubble) {
    return !child(bubble, name)->isHidden();
}

} // namespace

// Sizes are in pixels, a fifteenth of the bubble's twips.
class TestCtrMsg : public QObject {
    Q_OBJECT
    QTemporaryDir m_appFolder;
    QList<QUrl> m_opened;

public slots:
    void open(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_appFolder.path()).mkpath(u"TempImg/sub"_s));
        AppState::instance().ApplicationFolder = m_appFolder.path();
        QDesktopServices::setUrlHandler(u"http"_s, this, "open");
        QDesktopServices::setUrlHandler(u"https"_s, this, "open");
        const QString folder = m_appFolder.path() + u"/TempImg/"_s;
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(folder + u"wide.png"_s));
        QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(folder + u"sub/square.jpg"_s));
        QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(folder + u"../outside.png"_s));
        QFile notes(folder + u"notes.png"_s);
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("solo testo") > 0);
    }

    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(u"http"_s);
        QDesktopServices::unsetUrlHandler(u"https"_s);
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
        QVERIFY(shown("ImageKD", restored));
        restored.readProperties({{u"BackColor"_s, u"blu"_s}, {u"IdOperatore"_s, u"tre"_s}});
        QCOMPARE(restored.writeProperties(), QVariantMap()); // unreadable values are defaults
        QVERIFY(!shown("ImageKD", restored));
    }

    void badgeAndTime() {
        CtrMsg bubble;
        bubble.setIdOperatore(1);
        QVERIFY(shown("ImageKD", bubble) && shown("LabelDataOra", bubble));
        bubble.setIdOperatore(-3); // not an operator: the time goes for good
        bubble.setIdOperatore(5);
        QVERIFY(shown("ImageKD", bubble) && !shown("LabelDataOra", bubble));
        bubble.setIdOperatore(0);
        QVERIFY(!shown("ImageKD", bubble));
    }

    void textAndLink_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("textTwips");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::newRow("wide capitals") << u"MMM WWW @@@ %%% WWW"_s << 245 << QList<QUrl>();
        QTest::newRow("three lines from br") << u"uno<br>due<br>tre"_s << 735 << QList<QUrl>();
        // 420 characters wrap 8 times by the width table.
        QTest::newRow("long text wraps") << u"parola "_s.repeated(60) << 2205 << QList<QUrl>();
        QTest::newRow("200 lines") << u"x<br>"_s.repeated(199) + u'x' << 49000 << QList<QUrl>();
        QTest::newRow("link in capitals opens as written")
            << u"HTTPS://ESEMPIO.IT/Pagina"_s << 245 << QList{QUrl(u"https://esempio.it/Pagina"_s)};
    }
    void textAndLink() {
        QFETCH(QString, text);
        QFETCH(int, textTwips);
        QFETCH(QList<QUrl>, opened);
        CtrMsg bubble;
        bubble.setTesto(text);
        bubble.setIsLink(!opened.isEmpty());
        bubble.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bubble));
        QCOMPARE(bubble.heightTwips(), 75 + textTwips + 90);
        auto *box = child<QPlainTextEdit>(bubble, "TextMsg");
        QCOMPARE(box->geometry(), QRect(72, 5, box->width(), Units::twipsToPixels(textTwips)));
        QCOMPARE(child(bubble, "ShapeMSG")->geometry(),
                 QRect(65, 2, box->width() + 14, Units::twipsToPixels(textTwips + 115)));
        // CR LF is one break, and the measured width holds each hard line on one shown line.
        QCOMPARE(box->document()->blockCount(), text.count(u"<br>"_s) + 1);
        for (QTextBlock block = box->document()->firstBlock();
             block.isValid() && box->width() < 267; block = block.next())
            QCOMPARE(block.layout()->lineCount(), 1);
        m_opened.clear();
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(m_opened, opened);
        QCOMPARE(box->font().underline(), !m_opened.isEmpty());
    }

    void picture_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("controlTwips");
        QTest::addColumn<int>("thumbnailHeight"); // 0: no thumbnail
        QTest::addColumn<QSize>("viewed");
        QTest::newRow("644x322 PNG reduced") << u"wide.png"_s << 2535 << 161 << QSize(644, 322);
        QTest::newRow("subfolder JPEG") << u"sub/square.jpg"_s << 4950 << 322 << QSize(100, 100);
        QTest::newRow("not a picture keeps its size") << u"notes.png"_s << 660 << 36 << QSize();
        QTest::newRow("missing file") << u"missing.png"_s << 570 << 0 << QSize();
        QTest::newRow("outside the picture folder") << u"../outside.png"_s << 570 << 0 << QSize();
    }
    void picture() {
        QFETCH(QString, name);
        QFETCH(int, thumbnailHeight);
        CtrMsg bubble;
        bubble.setImmagineAttach(name);
        bubble.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bubble));
        QTEST(bubble.heightTwips(), "controlTwips");
        auto *image = child(bubble, "Image1");
        // Without a thumbnail the text box stays and the bubble keeps its rounded corners.
        const bool rounded = child<BubbleShape>(bubble, "ShapeMSG")->isRounded();
        QCOMPARE(QList({image->isHidden(), shown("TextMsg", bubble), rounded}),
                 QList<bool>(3, thumbnailHeight == 0));
        if (thumbnailHeight > 0) {
            QCOMPARE(image->geometry(), QRect(63, 2, 322, thumbnailHeight));
            // One viewer shows each clicked picture at its full size.
            QTest::mouseClick(image, Qt::LeftButton);
            const auto *viewed = child<QLabel>(ImgFrm::instance(), "Image1");
            QTEST(viewed->isHidden() ? QSize() : viewed->pixmap().size(), "viewed");
            ImgFrm::instance().hide();
        }
        bubble.setTesto(u"ciao"_s);
        QVERIFY(shown("TextMsg", bubble));
        QCOMPARE(bubble.heightTwips(), 410);
    }
};

QTEST_MAIN(TestCtrMsg)
#include "tst_ctrmsg.moc"
