#include "TestFiles.h"
#include "TestPictures.h"

#include "bubble/ChatMessage.h"
#include "core/AppState.h"
#include "messagelist/MessageList.h"
#include "messagelist/MessageModel.h"
#include "viewer/ImgFrm.h"

#include <QAccessible>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kLink = QStringLiteral("https://esempio.it/Pagina");
const QString kCode = QStringLiteral("codice ABC-123 da copiare");
const ChatMessage kLinkMessage{"14:05", 7, kLink, false, true, QColor(0, 132, 255), Qt::white};
const ChatMessage kCodeMessage{"14:06", 0, kCode, false, false, QColor(227, 232, 240), Qt::black};
const ChatMessage kPictureMessage{"14:07", 7, "a.png", true, false, QColor(0, 132, 255), Qt::white};

// The texts of the menu that open() pops up, which is then closed.
QStringList menuThatOpens(const std::function<void()> &open) {
    open();
    QStringList items;
    if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
        for (const QAction *action : menu->actions())
            items << action->text() + (action->isEnabled() ? "" : " (off)");
        menu->close();
    }
    return items;
}
} // namespace

// A list of three messages at the top of its viewport: bubble 0 a link, bubble 1 (28 px down) a
// text, bubble 2 (56 px down) a picture; inside a bubble the text starts at x 72, a picture at
// x 63, the customer's bubble at x 65.
class TestMessageList : public QObject {
    Q_OBJECT
    QTemporaryDir m_app;
    QString m_opened;
    MessageModel m_model;
    MessageList m_list{m_model};

    // Moves the pointer there, clicks, and gives the pointer's shape there.
    Qt::CursorShape click(QPoint at) {
        QTest::mouseMove(m_list.viewport(), at);
        QTest::mouseClick(m_list.viewport(), Qt::LeftButton, {}, at);
        return m_list.viewport()->cursor().shape();
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mousePress(m_list.viewport(), Qt::LeftButton, modifiers, from);
        QTest::mouseMove(m_list.viewport(), to);
        QTest::mouseRelease(m_list.viewport(), Qt::LeftButton, modifiers, to);
    }

public slots:
    void open(const QUrl &url) { m_opened += url.toString(); }

private slots:
    void initTestCase() {
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(QDir(m_app.path()).mkpath("TempImg"));
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(m_app.filePath("TempImg/a.png")));
        QDesktopServices::setUrlHandler("https", this, "open");
        for (const ChatMessage &message : {kLinkMessage, kCodeMessage, kPictureMessage})
            m_model.append(message);
        m_list.resize(419, 300);
        m_list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_list));
    }
    void init() { m_opened.clear(); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("https"); }

    void modelRoles_data() {
        QTest::addColumn<ChatMessage>("message");
        QTest::addColumn<QString>("text");
        QTest::addColumn<MessageModel::Sender>("sender");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QUrl>("link");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("operator's link, no scheme")
            << ChatMessage{"09:30", 3, "www.esempio.it/a b", false, true} << "www.esempio.it/a b"
            << MessageModel::Sender::Operator << "" << QUrl("http://www.esempio.it/a%20b")
            << "Operatore, 09:30: www.esempio.it/a b";
        QTest::newRow("customer's text") << kCodeMessage << kCode << MessageModel::Sender::Customer
                                         << "" << QUrl() << "Cliente, 14:06: " + kCode;
        QTest::newRow("operator's picture")
            << kPictureMessage << "" << MessageModel::Sender::Operator << "a.png" << QUrl()
            << "Operatore, 14:07: immagine a.png";
        QTest::newRow("a link that is none")
            << ChatMessage{"10:00", 3, "ftp://esempio.it/f", false, true} << "ftp://esempio.it/f"
            << MessageModel::Sender::Operator << "" << QUrl()
            << "Operatore, 10:00: ftp://esempio.it/f";
    }
    void modelRoles() {
        QFETCH(ChatMessage, message);
        QFETCH(QString, text);
        QFETCH(MessageModel::Sender, sender);
        QFETCH(QString, picture);
        QFETCH(QUrl, link);
        QFETCH(QString, spoken);
        MessageModel model;
        model.append(message);
        const QModelIndex row = model.index(0);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(row.data(MessageModel::TextRole).toString(), text);
        QCOMPARE(row.data(MessageModel::SenderRole).value<MessageModel::Sender>(), sender);
        QCOMPARE(row.data(MessageModel::TimeRole).toString(), message.time);
        QCOMPARE(row.data(MessageModel::PictureRole).toString(), picture);
        QCOMPARE(row.data(MessageModel::LinkRole).toUrl(), link);
        QCOMPARE(row.data(Qt::AccessibleTextRole).toString(), spoken);
    }

    // A drag from the link's first character past its end selects it without opening it, and
    // Ctrl+C copies it. A hand over the link, which a click opens as written, and over a picture,
    // which a click shows full size in the viewer; a beam over text; an arrow beside the bubbles.
    void pointer() {
        drag({73, 11}, {395, 11});
        QTest::keyClick(&m_list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), kLink);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(click({80, 11}), Qt::BitmapCursor);
        QCOMPARE(click({80, 38}), Qt::IBeamCursor);
        QCOMPARE(click({20, 151}), Qt::ArrowCursor);
        QCOMPARE(click({100, 81}), Qt::BitmapCursor);
        QVERIFY(ImgFrm::instance().isVisible());
        QCOMPARE(ImgFrm::instance().findChild<QLabel *>("Image1")->pixmap().size(),
                 QSize(644, 322));
        QCOMPARE(m_opened, kLink);
    }

    // From the bubble's margin, left of the text or below it, the nearest character starts the
    // selection; Shift+click moves its end. A double click on the link selects a word and opens
    // the link once.
    void selection_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QPoint>("shiftClick");
        QTest::addColumn<QString>("selected");
        QTest::newRow("margin left of the text to its end")
            << QPoint(40, 38) << QPoint(395, 38) << QPoint() << kCode;
        QTest::newRow("margin below the text, back to its start")
            << QPoint(395, 52) << QPoint(66, 38) << QPoint() << kCode;
        QTest::newRow("Shift+click shortens a drag to one word")
            << QPoint(40, 38) << QPoint(395, 38) << QPoint(110, 38) << "codice";
    }
    void selection() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QPoint, shiftClick);
        QFETCH(QString, selected);
        drag(from, to);
        if (!shiftClick.isNull())
            QTest::mouseClick(m_list.viewport(), Qt::LeftButton, Qt::ShiftModifier, shiftClick);
        QCOMPARE(m_list.selectedText(), selected);
    }
    void doubleClickOpensTheLinkOnce() {
        // As Qt reports it: press, release, double click, release.
        QTest::mouseClick(m_list.viewport(), Qt::LeftButton, {}, {80, 11});
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(80, 11),
                           m_list.viewport()->mapToGlobal(QPointF(80, 11)), Qt::LeftButton,
                           Qt::LeftButton, {});
        QCoreApplication::sendEvent(m_list.viewport(), &second);
        QTest::mouseRelease(m_list.viewport(), Qt::LeftButton, {}, {80, 11});
        QCOMPARE(m_opened, kLink);
        QCOMPARE(m_list.selectedText(), "https");
    }

    // Shift+F10 and the Menu key open the menu at the selection; with nothing selected it
    // copies the bubble in the middle of the view.
    void menuFromTheKeyboard() {
        drag({73, 38}, {130, 38});
        QCOMPARE(
            menuThatOpens([this] { QTest::keyClick(&m_list, Qt::Key_F10, Qt::ShiftModifier); }),
            QStringList{"Copia"});
        QCOMPARE(m_list.selectedText(), "codice AB");
        click({20, 151}); // nothing selected
        QCOMPARE(menuThatOpens([this] { QTest::keyClick(&m_list, Qt::Key_Menu); }),
                 QStringList{"Copia (off)"});
    }

    // The list speaks as "Messaggi", one item a message; a link opens through its action.
    void accessibleItems() {
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&m_list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), "Messaggi");
        QCOMPARE(list->childCount(), 3);
        QStringList heard;
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface *item = list->child(i);
            QCOMPARE(item->role(), QAccessible::ListItem);
            QCOMPARE(list->indexOfChild(item), i);
            QCOMPARE(item->parent(), list);
            heard << item->text(QAccessible::Name) + " / " +
                         item->textInterface()->text(0, item->textInterface()->characterCount());
        }
        QCOMPARE(heard, (QStringList{"Operatore, 14:05 / " + kLink, "Cliente, 14:06 / " + kCode,
                                     "Operatore, 14:07 / immagine a.png"}));
        QCOMPARE(list->child(1)->actionInterface(), nullptr);
        list->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(m_opened, kLink);
    }

    // Ten thousand messages, one of 65 000 characters, a picture that cannot be read and a link
    // that is not one: the list scrolls through them, reads them aloud and copies them.
    void badInput() {
        QVERIFY(QFile(m_app.filePath("TempImg/broken.png")).open(QIODevice::WriteOnly));
        MessageModel model;
        MessageList list(model);
        list.resize(419, 435);
        list.show();
        for (int i = 0; i < 10000; ++i)
            model.append(
                {"14:05", i % 2, QString::number(i), false, false, QColor(0, 132, 255), Qt::black});
        const QString longText = QString(65000, u'x');
        model.append({"14:06", 7, longText, false, false, QColor(0, 132, 255), Qt::black});
        model.append({"14:07", 7, "broken.png", true, false, QColor(0, 132, 255), Qt::black});
        model.append(
            {"14:08", 7, "ftp://esempio.it/f", false, true, QColor(0, 132, 255), Qt::black});
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up})
            QTest::keyClick(&list, key);
        QVERIFY(!list.viewport()->grab().isNull());
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(spoken->childCount(), 10003);
        QCOMPARE(spoken->child(10000)->textInterface()->characterCount(), 65000);
        QCOMPARE(spoken->child(10001)->text(QAccessible::Description), "immagine broken.png");
        QCOMPARE(spoken->child(10002)->text(QAccessible::Description), "ftp://esempio.it/f");
        // The end shows the false link: a click on it opens nothing, the menu takes it whole.
        const QPoint onLink = list.bubbleInViewport(10002).topLeft() + QPoint(80, 10);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, onLink);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(menuThatOpens([&] { QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier); }),
                 QStringList{"Copia"});
        list.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), "ftp://esempio.it/f");
    }

    // On a screen scaled by two (the same test runs under QT_SCALE_FACTOR=2) the thumbnail and
    // the badge take the screen's own pixels: one-pixel stripes stay black and white, the badge
    // is its own picture for that scale.
    void paintsAtDevicePixels() {
        MessageModel model;
        MessageList list(model);
        list.resize(419, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const qreal scale = list.devicePixelRatioF();
        QImage stripes(qRound(322 * scale), qRound(161 * scale), QImage::Format_RGB32);
        for (int x = 0; x < stripes.width(); ++x)
            for (int y = 0; y < stripes.height(); ++y)
                stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QVERIFY(stripes.save(m_app.filePath("TempImg/stripes.png")));
        model.append({"14:07", 7, "stripes.png", true, false, QColor(0, 132, 255), Qt::white});
        const QImage shown = list.viewport()->grab().toImage();
        QCOMPARE(shown.devicePixelRatio(), scale);
        const QPoint inBubble = list.bubbleInViewport(0).topLeft();
        const QRect picture = list.bubble(0).pictureRect();
        QCOMPARE(QSize(picture.width() / 15, picture.height() / 15), QSize(322, 161));
        int sharp = 0;
        const int row = qRound((inBubble.y() + picture.top() / 15 + 80) * scale);
        const int left = qRound((inBubble.x() + picture.left() / 15 + 10) * scale);
        for (int x = left; x < left + 200; ++x)
            sharp += qGray(shown.pixel(x, row)) < 40 || qGray(shown.pixel(x, row)) > 215;
        QCOMPARE(sharp, 200);

        const QImage badge(scale > 1 ? ":/bubble/badge@2x.png" : ":/bubble/badge.png");
        const QPoint badgeAt = (inBubble + QPoint(1, 1)) * scale;
        int differing = 0;
        for (int y = 0; y < badge.height(); ++y)
            for (int x = 0; x < badge.width(); ++x)
                differing += shown.pixel(badgeAt + QPoint(x, y)) != badge.pixel(x, y);
        QCOMPARE(differing, 0);
    }

    // One-line bubbles of 410 twips: 30 end at 21.69 cm, the bar runs from 11 cm (416 px) to
    // 23 cm (869 px), 19 px a line, 378 px a page, and stands at its end after each message.
    void wheelAndKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<QPoint>("pixels");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("firstTop"); // the first bubble's top in the viewport
        QTest::newRow("Home") << int(Qt::Key_Home) << QPoint() << QPoint() << 416 << 19;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << QPoint() << QPoint() << 491 << -56;
        QTest::newRow("Up") << int(Qt::Key_Up) << QPoint() << QPoint() << 850 << -415;
        QTest::newRow("Down at the end")
            << int(Qt::Key_Down) << QPoint() << QPoint() << 869 << -434;
        QTest::newRow("End") << int(Qt::Key_End) << QPoint() << QPoint() << 869 << -434;
        QTest::newRow("one notch up, three lines")
            << 0 << QPoint(0, 120) << QPoint() << 812 << -377;
        QTest::newRow("touchpad, 40 px up") << 0 << QPoint(0, 0) << QPoint(0, 40) << 829 << -394;
        QTest::newRow("touchpad with both, the pixels count")
            << 0 << QPoint(0, 120) << QPoint(0, 25) << 844 << -409;
    }
    void wheelAndKeys() {
        QFETCH(int, key);
        QFETCH(QPoint, angle);
        QFETCH(QPoint, pixels);
        QFETCH(int, value);
        QFETCH(int, firstTop);
        MessageModel model;
        MessageList list(model);
        list.resize(419, 435);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        for (int i = 0; i < 30; ++i)
            model.append(
                {"14:05", i % 2, QString::number(i), false, false, QColor(0, 132, 255), Qt::black});
        const QScrollBar *bar = list.verticalScrollBar();
        QCOMPARE((QList<int>{bar->isVisible(), bar->minimum(), bar->maximum(), bar->value()}),
                 (QList<int>{true, 416, 869, 869}));
        QTest::keyClick(&list, Qt::Key_PageUp); // the list moves
        QTest::keyClick(&list, Qt::Key_End);
        const QPoint middle(100, 200);
        QWheelEvent wheel(middle, list.viewport()->mapToGlobal(middle), pixels, angle, Qt::NoButton,
                          {}, Qt::NoScrollPhase, false);
        if (key)
            QTest::keyClick(&list, Qt::Key(key));
        else
            QCoreApplication::sendEvent(list.viewport(), &wheel);
        QCOMPARE(bar->value(), value);
        QCOMPARE(list.bubbleInViewport(0).top(), firstTop);
    }

    // A photo stored on its side, as a phone writes it: upright in the bubble and in the viewer.
    void turnedPictureStandsUpright() {
        QVERIFY(writeFile(m_app.filePath("TempImg/girata.jpg"), jpegWithOrientation({160, 80}, 6)));
        MessageModel model;
        model.append({"14:08", 7, "girata.jpg", true, false, QColor(0, 132, 255), Qt::white});
        MessageList list(model);
        list.resize(419, 460);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // Where the quadrants' colours lie is the thumbnail; its corners must read upright.
        const QImage painted = list.viewport()->grab().toImage();
        QRect picture;
        for (int y = 0; y < painted.height(); ++y)
            for (int x = 0; x < painted.width(); ++x)
                if (colourLetter(painted.pixelColor(x, y)) != '?' &&
                    painted.pixelColor(x, y) != QColor(0, 132, 255))
                    picture |= QRect(x, y, 1, 1);
        QVERIFY(picture.height() > picture.width());
        QCOMPARE(corners(painted.copy(picture.adjusted(3, 3, -3, -3))), "bryg");
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, picture.center());
        const QImage shown = ImgFrm::instance().findChild<QLabel *>("Image1")->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(80, 160));
        QCOMPARE(corners(shown), "bryg");
    }
};

QTEST_MAIN(TestMessageList)
#include "tst_messagelist.moc"
