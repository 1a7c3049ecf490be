#include "bubble/CtrMsg.h"

#include "app/AppState.h"
#include "bubble/BubbleShape.h"
#include "bubble/TextHelpers.h"
#include "viewer/ImgFrm.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

// Receives what a click hands to the desktop, instead of a browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestCtrMsg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void freshBubble();
    void propertyWrites_data();
    void propertyWrites();
    void colorsReachTheChildren();
    void badgeAndTime_data();
    void badgeAndTime();
    void writeProperties_data();
    void writeProperties();
    void readProperties_data();
    void readProperties();
    void textLayout_data();
    void textLayout();
    void longTextWrapsToMaximumWidth();
    void textMeasuredInArial();
    void timeIsNarrowerThanText();
    void measuredLinesFitTheBox_data();
    void measuredLinesFitTheBox();
    void linkClick_data();
    void linkClick();
    void frameTakesHostBackground();
    void picture_data();
    void picture();
    void pictureClickOpensViewerFullSize();
    void textAfterPictureShowsTextAgain();

private:
    QString writePicture(const QString &name, QSize size, const char *format);
    QTemporaryDir m_appFolder;
    UrlRecorder m_urls;
};

namespace {

template<class T> T *child(const CtrMsg &bubble, const char *name) {
    T *found = bubble.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("missing child %s", name);
    return found;
}

bool shown(const QWidget *widget) {
    return !widget->isHidden();
}

int px(int twips) {
    return qRound(twips / 15.0);
}

} // namespace

void TestCtrMsg::initTestCase() {
    QVERIFY(m_appFolder.isValid());
    QVERIFY(QDir(m_appFolder.path()).mkpath(QStringLiteral("TempImg/sub")));
    AppState::instance().ApplicationFolder = m_appFolder.path();
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_urls, "open");
}

void TestCtrMsg::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

QString TestCtrMsg::writePicture(const QString &name, QSize size, const char *format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = m_appFolder.path() + QStringLiteral("/TempImg/") + name;
    if (!image.save(path, format))
        qFatal("cannot write the picture %s", qPrintable(path));
    return path;
}

void TestCtrMsg::freshBubble() {
    CtrMsg bubble;
    QCOMPARE(bubble.BackColor(), 0x00FFFFFFu);
    QCOMPARE(bubble.ForeColor(), 0u);
    QCOMPARE(bubble.Data(), QString());
    QCOMPARE(bubble.Testo(), QString());
    QCOMPARE(bubble.IdOperatore(), 0);
    QCOMPARE(bubble.heightTwips(), 570);
    QVERIFY(!shown(child<QLabel>(bubble, "ImageKD")));
    QVERIFY(!shown(child<QLabel>(bubble, "Image1")));
    QVERIFY(shown(child<QLabel>(bubble, "LabelDataOra")));
    QCOMPARE(child<QPlainTextEdit>(bubble, "TextMsg")->toPlainText(), QString());
    QCOMPARE(child<QLabel>(bubble, "ImageKD")->pixmap().size(), QSize(30, 31));
}

void TestCtrMsg::propertyWrites_data() {
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QVariant>("read");
    QTest::newRow("operator fill")
        << QByteArray("BackColor") << QVariant(0x00FF8400u) << QVariant(0x00FF8400u);
    QTest::newRow("white text") << QByteArray("ForeColor") << QVariant(0x00FFFFFFu)
                                << QVariant(0x00FFFFFFu);
    QTest::newRow("time") << QByteArray("Data") << QVariant(QStringLiteral("09:41"))
                          << QVariant(QStringLiteral("09:41"));
    QTest::newRow("operator id") << QByteArray("IdOperatore") << QVariant(qint32(7))
                                 << QVariant(qint32(7));
    QTest::newRow("text with br reads back a line break")
        << QByteArray("Testo") << QVariant(QStringLiteral("uno<br>due"))
        << QVariant(QStringLiteral("uno\r\ndue"));
    QTest::newRow("upper-case BR stays")
        << QByteArray("Testo") << QVariant(QStringLiteral("a<BR>b"))
        << QVariant(QStringLiteral("a<BR>b"));
}

void TestCtrMsg::propertyWrites() {
    QFETCH(QByteArray, property);
    QFETCH(QVariant, written);
    QFETCH(QVariant, read);
    CtrMsg bubble;
    const QMetaProperty meta =
        bubble.metaObject()->property(bubble.metaObject()->indexOfProperty(property));
    QVERIFY(meta.hasNotifySignal());
    QSignalSpy changed(&bubble, meta.notifySignal());
    QVERIFY(bubble.setProperty(property, written));
    QCOMPARE(bubble.property(property), read);
    QCOMPARE(changed.count(), 1);
    // Every write is a change mark, even of the same value.
    QVERIFY(bubble.setProperty(property, written));
    QCOMPARE(changed.count(), 2);
}

void TestCtrMsg::colorsReachTheChildren() {
    CtrMsg bubble;
    bubble.setBackColor(0x00F0E8E3);
    bubble.setForeColor(0x00FFFFFF);
    const auto *text = child<QPlainTextEdit>(bubble, "TextMsg");
    QCOMPARE(text->palette().color(QPalette::Base), QColor(0xE3, 0xE8, 0xF0));
    QCOMPARE(text->palette().color(QPalette::Text), QColor(Qt::white));
    QCOMPARE(child<QLabel>(bubble, "LabelTesto")->palette().color(QPalette::WindowText),
             QColor(Qt::white));
    QCOMPARE(child<QLabel>(bubble, "LabelDataOra")->palette().color(QPalette::WindowText),
             QColor(128, 128, 128));
}

void TestCtrMsg::badgeAndTime_data() {
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<bool>("badge");
    QTest::addColumn<bool>("time");
    QTest::newRow("customer message") << QList<int>{0} << false << false;
    QTest::newRow("negative id is a customer") << QList<int>{-3} << false << false;
    QTest::newRow("operator message") << QList<int>{1} << true << true;
    QTest::newRow("operator back to customer") << QList<int>{5, 0} << false << false;
    QTest::newRow("customer to operator keeps the time hidden")
        << QList<int>{0, 5} << true << false;
}

void TestCtrMsg::badgeAndTime() {
    QFETCH(QList<int>, ids);
    CtrMsg bubble;
    for (int id : ids)
        bubble.setIdOperatore(id);
    QTEST(shown(child<QLabel>(bubble, "ImageKD")), "badge");
    QTEST(shown(child<QLabel>(bubble, "LabelDataOra")), "time");
}

void TestCtrMsg::writeProperties_data() {
    QTest::addColumn<quint32>("back");
    QTest::addColumn<quint32>("fore");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");
    QTest::addColumn<QVariantMap>("bag");
    QTest::newRow("defaults store nothing") << 0x00FFFFFFu << 0u << ""
                                            << "" << 0 << QVariantMap();
    QTest::newRow("operator bubble") << 0x00FF8400u << 0x00FFFFFFu << "10:15"
                                     << "Salve<br>come va?" << 3
                                     << QVariantMap{{"BackColor", 0x00FF8400u},
                                                    {"Data", "10:15"},
                                                    {"Testo", "Salve\r\ncome va?"},
                                                    {"IdOperatore", 3}};
    QTest::newRow("text colour is never written") << 0x00FFFFFFu << 0x00123456u << ""
                                                  << "" << 0 << QVariantMap();
}

void TestCtrMsg::writeProperties() {
    QFETCH(quint32, back);
    QFETCH(quint32, fore);
    QFETCH(QString, time);
    QFETCH(QString, text);
    QFETCH(int, id);
    QFETCH(QVariantMap, bag);
    CtrMsg bubble;
    bubble.setData(time);
    bubble.setIdOperatore(id);
    bubble.setTesto(text);
    bubble.setBackColor(back);
    bubble.setForeColor(fore);
    QCOMPARE(bubble.writeProperties(), bag);
}

void TestCtrMsg::readProperties_data() {
    QTest::addColumn<QVariantMap>("bag");
    QTest::addColumn<quint32>("back");
    QTest::addColumn<quint32>("fore");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("badge");
    QTest::newRow("empty bag gives the defaults") << QVariantMap() << 0x00FFFFFFu << 0u << ""
                                                  << "" << 0 << false;
    QTest::newRow("operator bubble") << QVariantMap{{"BackColor", 0x00FF8400u},
                                                    {"ForeColor", 0x00FFFFFFu},
                                                    {"Data", "10:15"},
                                                    {"Testo", "ciao"},
                                                    {"IdOperatore", 1}}
                                     << 0x00FF8400u << 0x00FFFFFFu << "10:15"
                                     << "ciao" << 1 << true;
    QTest::newRow("no text colour gives black")
        << QVariantMap{{"BackColor", 0x00F0E8E3u}} << 0x00F0E8E3u << 0u << ""
        << "" << 0 << false;
    QTest::newRow("unreadable values fall back to the defaults")
        << QVariantMap{{"BackColor", "blu"}, {"IdOperatore", "tre"}, {"ForeColor", QVariantList()}}
        << 0x00FFFFFFu << 0u << ""
        << "" << 0 << false;
    QTest::newRow("text is restored as stored")
        << QVariantMap{{"Testo", "a<br>b"}} << 0x00FFFFFFu << 0u << ""
        << "a<br>b" << 0 << false;
}

void TestCtrMsg::readProperties() {
    QFETCH(QVariantMap, bag);
    CtrMsg bubble;
    bubble.setForeColor(0x00ABCDEF);
    bubble.setIdOperatore(0);
    QSignalSpy textChanged(&bubble, &CtrMsg::testoChanged);
    bubble.readProperties(bag);
    QTEST(bubble.BackColor(), "back");
    QTEST(bubble.ForeColor(), "fore");
    QTEST(bubble.Data(), "time");
    QTEST(bubble.Testo(), "text");
    QTEST(bubble.IdOperatore(), "id");
    QTEST(shown(child<QLabel>(bubble, "ImageKD")), "badge");
    // Restoring neither lays the text out nor touches the time label.
    QCOMPARE(bubble.heightTwips(), 570);
    QCOMPARE(textChanged.count(), 0);
    QVERIFY(!shown(child<QLabel>(bubble, "LabelDataOra")));
}

void TestCtrMsg::textLayout_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<int>("controlHeight");
    QTest::newRow("empty text") << "" << 245 << 410;
    QTest::newRow("one line") << "Buongiorno" << 245 << 410;
    QTest::newRow("three lines from br") << "uno<br>due<br>tre" << 735 << 900;
}

void TestCtrMsg::textLayout() {
    QFETCH(QString, text);
    QFETCH(int, textHeight);
    QFETCH(int, controlHeight);
    CtrMsg bubble;
    QSignalSpy changed(&bubble, &CtrMsg::testoChanged);
    bubble.setTesto(text);
    QCOMPARE(bubble.heightTwips(), controlHeight);
    QCOMPARE(bubble.height(), px(controlHeight));
    const auto *box = child<QPlainTextEdit>(bubble, "TextMsg");
    const auto *label = child<QLabel>(bubble, "LabelTesto");
    QVERIFY(shown(box));
    QVERIFY(!shown(label));
    QCOMPARE(box->geometry(), label->geometry());
    QCOMPARE(box->geometry().topLeft(), QPoint(px(1080), px(75)));
    QCOMPARE(box->height(), px(textHeight));
    const auto *shape = child<QWidget>(bubble, "ShapeMSG");
    QCOMPARE(shape->geometry().topLeft(), QPoint(px(975), px(30)));
    QCOMPARE(shape->height(), px(textHeight + 115));
    // One shown line per hard line: CR LF is a single break.
    QCOMPARE(box->document()->blockCount(), text.count(QStringLiteral("<br>")) + 1);
    QCOMPARE(changed.count(), 1);
}

void TestCtrMsg::longTextWrapsToMaximumWidth() {
    const QString text = QStringLiteral("parola ").repeated(60).trimmed();
    CtrMsg bubble;
    bubble.setTesto(text);
    const int lines = CountWrappedLines(4000, text) + 1;
    QVERIFY(lines > 1);
    QCOMPARE(bubble.heightTwips(), 75 + lines * 245 + 90);
    QCOMPARE(child<QPlainTextEdit>(bubble, "TextMsg")->width(), px(4000));
    QCOMPARE(child<QWidget>(bubble, "ShapeMSG")->width(), px(4210));
}

void TestCtrMsg::textMeasuredInArial() {
    CtrMsg bubble;
    bubble.setTesto(QStringLiteral("Hello world<br>Hi"));
    // Liberation Sans stands in for Arial: "Hello world" is 64.19 px at 9.75 pt, so 65 whole.
    QCOMPARE(child<QPlainTextEdit>(bubble, "TextMsg")->width(), 65);
    QCOMPARE(child<QWidget>(bubble, "ShapeMSG")->width(), px(65 * 15 + 210));
}

void TestCtrMsg::timeIsNarrowerThanText() {
    CtrMsg bubble;
    const QFont timeFont = child<QLabel>(bubble, "LabelDataOra")->font();
    QCOMPARE(timeFont.pointSizeF(), 8.25);
    QFont regular(QStringLiteral("Liberation Sans"));
    regular.setPointSizeF(8.25);
    const QString time = QStringLiteral("10:15");
    QVERIFY(QFontMetricsF(timeFont).horizontalAdvance(time) <
            QFontMetricsF(regular).horizontalAdvance(time));
}

void TestCtrMsg::measuredLinesFitTheBox_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("sentence") << "Buongiorno, come posso aiutarla?";
    QTest::newRow("link with slashes") << "https://www.esempio.it/pagina";
    QTest::newRow("two hard lines") << "Grazie mille<br>a presto, buona giornata";
    QTest::newRow("wide capitals") << "WWW MMM @@@ %%% WWW";
}

void TestCtrMsg::measuredLinesFitTheBox() {
    QFETCH(QString, text);
    CtrMsg bubble;
    bubble.setWidthTwips(9000);
    bubble.setTesto(text);
    bubble.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bubble));
    const QTextDocument *document = child<QPlainTextEdit>(bubble, "TextMsg")->document();
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next())
        QCOMPARE(block.layout()->lineCount(), 1);
}

void TestCtrMsg::linkClick_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("link");
    QTest::addColumn<QString>("opened");
    QTest::newRow("https in capitals opens as written")
        << "HTTPS://ESEMPIO.IT/Pagina" << true << "https://esempio.it/Pagina";
    QTest::newRow("www opens over http") << "www.esempio.it" << true << "http://www.esempio.it";
    QTest::newRow("plain text does nothing") << "grazie mille a tutti" << false << "";
    QTest::newRow("short text does nothing") << "ok" << false << "";
}

void TestCtrMsg::linkClick() {
    QFETCH(QString, text);
    QFETCH(bool, link);
    QFETCH(QString, opened);
    CtrMsg bubble;
    bubble.setTesto(text);
    bubble.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bubble));
    auto *box = child<QPlainTextEdit>(bubble, "TextMsg");
    QCOMPARE(box->font().underline(), link);
    QCOMPARE(box->viewport()->cursor().shape(), link ? Qt::BitmapCursor : Qt::ArrowCursor);

    m_urls.opened.clear();
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(m_urls.opened.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(m_urls.opened.first().toString(), opened);
}

void TestCtrMsg::frameTakesHostBackground() {
    QWidget host;
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    host.setPalette(palette);
    CtrMsg bubble(&host);
    bubble.setWidthTwips(9000);
    const auto *frame = child<QWidget>(bubble, "FrameMsg");
    QCOMPARE(frame->palette().color(QPalette::Window), QColor(10, 20, 30));
    QCOMPARE(frame->geometry(), QRect(0, 0, px(9000), px(570)));
    QCOMPARE(child<QLabel>(bubble, "LabelDataOra")->width(), px(9000));
    QCOMPARE(bubble.heightTwips(), 570);
}

void TestCtrMsg::picture_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("thumbnail");
    QTest::addColumn<int>("controlHeight");
    QTest::addColumn<int>("shapeHeight");
    QTest::newRow("644x322 PNG reduced") << "wide.png" << true << 2535 << 2530;
    QTest::newRow("100x100 JPEG enlarged") << "square.jpg" << true << 4950 << 4945;
    QTest::newRow("picture in a subfolder") << "sub/square.jpg" << true << 4950 << 4945;
    QTest::newRow("not a picture keeps the thumbnail size") << "notes.png" << true << 660 << 655;
    QTest::newRow("empty name") << "" << false << 570 << 345;
    QTest::newRow("missing file") << "missing.png" << false << 570 << 345;
    QTest::newRow("outside the picture folder") << "../outside.png" << false << 570 << 345;
}

void TestCtrMsg::picture() {
    QFETCH(QString, name);
    QFETCH(bool, thumbnail);
    writePicture(QStringLiteral("wide.png"), QSize(644, 322), "PNG");
    writePicture(QStringLiteral("square.jpg"), QSize(100, 100), "JPEG");
    writePicture(QStringLiteral("sub/square.jpg"), QSize(100, 100), "JPEG");
    writePicture(QStringLiteral("../outside.png"), QSize(100, 100), "PNG");
    QFile notes(m_appFolder.path() + QStringLiteral("/TempImg/notes.png"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("solo testo");
    notes.close();

    CtrMsg bubble;
    bubble.setImmagineAttach(name);
    const auto *image = child<QLabel>(bubble, "Image1");
    const auto *shape = child<BubbleShape>(bubble, "ShapeMSG");
    QCOMPARE(shown(image), thumbnail);
    QCOMPARE(shown(child<QPlainTextEdit>(bubble, "TextMsg")), !thumbnail);
    QCOMPARE(shape->isRounded(), !thumbnail);
    QTEST(bubble.heightTwips(), "controlHeight");
    QFETCH(int, shapeHeight);
    QCOMPARE(shape->height(), px(shapeHeight));
    if (thumbnail) {
        QCOMPARE(image->geometry().topLeft(), QPoint(px(945), px(30)));
        QCOMPARE(image->width(), px(4830));
        QCOMPARE(shape->width(), px(5040));
    }
}

void TestCtrMsg::pictureClickOpensViewerFullSize() {
    writePicture(QStringLiteral("wide.png"), QSize(644, 322), "PNG");
    writePicture(QStringLiteral("square.jpg"), QSize(100, 100), "JPEG");
    CtrMsg first;
    first.setImmagineAttach(QStringLiteral("wide.png"));
    CtrMsg second;
    second.setImmagineAttach(QStringLiteral("square.jpg"));
    first.show();
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));

    ImgFrm &viewer = ImgFrm::instance();
    const auto *shownPicture = viewer.findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(shownPicture);
    QTest::mouseClick(child<QLabel>(first, "Image1"), Qt::LeftButton);
    QVERIFY(viewer.isVisible());
    QCOMPARE(shownPicture->pixmap().size(), QSize(644, 322));

    QTest::mouseClick(child<QLabel>(second, "Image1"), Qt::LeftButton);
    QCOMPARE(&ImgFrm::instance(), &viewer);
    QCOMPARE(shownPicture->pixmap().size(), QSize(100, 100));
    viewer.hide();
}

void TestCtrMsg::textAfterPictureShowsTextAgain() {
    writePicture(QStringLiteral("square.jpg"), QSize(100, 100), "JPEG");
    CtrMsg bubble;
    bubble.setImmagineAttach(QStringLiteral("square.jpg"));
    bubble.setTesto(QStringLiteral("ciao"));
    QVERIFY(shown(child<QPlainTextEdit>(bubble, "TextMsg")));
    QCOMPARE(bubble.heightTwips(), 410);
}

QTEST_MAIN(TestCtrMsg)
#include "tst_ctrmsg.moc"
