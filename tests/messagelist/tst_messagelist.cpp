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
const QColor kBlue(0, 132, 255);
const QString kLink = QStringLiteral("https://esempio.it/Pagina");
const QString kCode = QStringLiteral("codice ABC-123 da copiare");
const ChatMessage kLinkMessage{"14:05", 7, kLink, false, true, kBlue, Qt::white};
const ChatMessage kCodeMessage{"14:06", 0, kCode, false, false, QColor(227, 232, 240), Qt::black};
// Stored on its side, as a phone writes it.
const ChatMessage kPictureMessage{"14:07", 7, "girata.jpg", true, false, kBlue, Qt::white};

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

// One-line bubbles, operator's and customer's in turn.
void appendNumbers(MessageModel &model, int count) {
    for (int i = 0; i < count; ++i)
        model.append({"14:05", i % 2, QString::number(i), false, false, kBlue, Qt::black});
}
} // namespace

// A list of three messages at the top of its viewport: bubble 0 a link, bubble 1 (28 px down) a
// text, bubble 2 (56 px down) a picture at 63, 58; inside a bubble the text starts at x 72.
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
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(m_list.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(m_list.viewport(), to);
        QTest::mouseRelease(m_list.viewport(), Qt::LeftButton, {}, to);
    }

public slots:
    void open(const QUrl &url) { m_opened += url.toString(); }

private slots:
    void initTestCase() {
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(QDir(m_app.path()).mkpath("TempImg"));
        QVERIFY(writeFile(m_app.filePath("TempImg/girata.jpg"), jpegWithOrientation({80, 160}, 6)));
        QDesktopServices::setUrlHandler("https", this, "open");
        for (const ChatMessage &message : {kLinkMessage, kCodeMessage, kPictureMessage})
            m_model.append(message);
        m_list.resize(419, 300);
        m_list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_list));
    }
    void init() { m_opened.clear(); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("https"); }

    // A drag from the link's first character past its end selects it without opening it, and
    // Ctrl+C copies it. A hand over the link, which a click opens as written, and over the
    // picture, painted upright, which a click shows full size in the viewer; a beam over text; an
    // arrow beside the bubbles.
    void pointer() {
        drag({73, 11}, {395, 11});
        QTest::keyClick(&m_list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), kLink);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(click({80, 11}), Qt::BitmapCursor);
        QCOMPARE(click({80, 38}), Qt::IBeamCursor);
        QCOMPARE(click({20, 151}), Qt::ArrowCursor);
        QCOMPARE(menuThatOpens([this] { QTest::keyClick(&m_list, Qt::Key_Menu); }),
                 QStringList{"Copia (off)"}); // nothing selected, the picture in the middle
        const QImage painted = m_list.viewport()->grab().toImage();
        QCOMPARE(corners(painted.copy(63 + 3, 58 + 3, 322 - 6, 161 - 6)), "bryg");
        QCOMPARE(click({100, 81}), Qt::BitmapCursor);
        QVERIFY(ImgFrm::instance().isVisible());
        const QImage shown = ImgFrm::instance().findChild<QLabel *>("Image1")->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(160, 80));
        QCOMPARE(corners(shown), "bryg");
        QCOMPARE(m_opened, kLink);
    }

    // A keyboard user sees that the keys go to the list: a frame at its edge, and only there.
    void focusIsSeen() {
        m_list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_list));
        QTest::keyClick(&m_list, Qt::Key_Tab); // styles frame a focus that keys brought
        QVERIFY(m_list.hasFocus());
        const QImage focused = m_list.viewport()->grab().toImage();
        m_list.clearFocus();
        const QImage plain = m_list.viewport()->grab().toImage();
        QCOMPARE(plain.pixelColor(0, 150), QColor(Qt::white));
        QVERIFY(focused.pixelColor(0, 150) != plain.pixelColor(0, 150));
        const QRect inside = plain.rect().adjusted(3, 3, -3, -3);
        QCOMPARE(focused.copy(inside), plain.copy(inside));
    }

    // From the bubble's margin, left of the text or below it, the nearest character starts the
    // selection; Shift+click moves its end. A double click on the link selects a word and opens
    // the link once.
    void selection_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to"); // the same point: a double click there
        QTest::addColumn<QPoint>("shiftClick");
        QTest::addColumn<QString>("selected");
        QTest::newRow("margin left of the text to its end")
            << QPoint(40, 38) << QPoint(395, 38) << QPoint() << kCode;
        QTest::newRow("margin below the text, back to its start")
            << QPoint(395, 52) << QPoint(66, 38) << QPoint() << kCode;
        QTest::newRow("Shift+click shortens a drag to one word")
            << QPoint(40, 38) << QPoint(395, 38) << QPoint(110, 38) << "codice";
        QTest::newRow("double click on the link")
            << QPoint(80, 11) << QPoint(80, 11) << QPoint() << "https";
    }
    void selection() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QPoint, shiftClick);
        QWidget *viewport = m_list.viewport();
        if (from == to) { // as Qt reports it: press, release, press, double click, release
            QTest::mouseClick(viewport, Qt::LeftButton, {}, from);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, from);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, from);
        } else {
            drag(from, to);
        }
        if (!shiftClick.isNull())
            QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, shiftClick);
        // Shift+F10 opens the menu at the selection and leaves it as it is.
        QCOMPARE(
            menuThatOpens([this] { QTest::keyClick(&m_list, Qt::Key_F10, Qt::ShiftModifier); }),
            QStringList{"Copia"});
        QTEST(m_list.selectedText(), "selected");
        QCOMPARE(m_opened, from == to ? kLink : QString());
    }

    // The list speaks as "Messaggi", one item a message; a link opens through its action.
    void accessibleItems() {
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&m_list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), "Messaggi");
        QStringList heard;
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface *item = list->child(i);
            QVERIFY(item->role() == QAccessible::ListItem && item->parent() == list);
            QCOMPARE(list->indexOfChild(item), i);
            heard << item->text(QAccessible::Name) + " / " +
                         item->textInterface()->text(0, item->textInterface()->characterCount());
        }
        QCOMPARE(heard, (QStringList{"Operatore, 14:05 / " + kLink, "Cliente, 14:06 / " + kCode,
                                     "Operatore, 14:07 / immagine girata.jpg"}));
        QCOMPARE(list->child(1)->actionInterface(), nullptr);
        // What any other view of the model shows and says.
        QCOMPARE(m_model.index(2).data(Qt::DisplayRole), "immagine girata.jpg");
        QCOMPARE(m_model.index(2).data(Qt::AccessibleTextRole),
                 "Operatore, 14:07: immagine girata.jpg");
        list->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(m_opened, kLink);
    }

    // Ten thousand messages, one of 65 000 characters and a picture that cannot be read: the
    // list scrolls through them, reads them aloud, and a click on the link at its end opens it;
    // with nothing selected, the menu copies the clicked bubble whole.
    void badInput() {
        QVERIFY(QFile(m_app.filePath("TempImg/broken.png")).open(QIODevice::WriteOnly));
        MessageModel model;
        MessageList list(model);
        list.resize(419, 435);
        list.show();
        appendNumbers(model, 10000);
        model.append({"14:06", 7, QString(65000, u'x'), false, false, kBlue, Qt::black});
        model.append({"14:07", 7, "broken.png", true, false, kBlue, Qt::black});
        model.append(kLinkMessage);
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up})
            QTest::keyClick(&list, key);
        QVERIFY(!list.viewport()->grab().isNull());
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(spoken->childCount(), 10003);
        QCOMPARE(spoken->child(10000)->textInterface()->characterCount(), 65000);
        QCOMPARE(spoken->child(10001)->text(QAccessible::Description), "immagine broken.png");
        const QPoint onLink = list.bubbleInViewport(10002).topLeft() + QPoint(80, 10);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, onLink);
        QCOMPARE(m_opened, kLink);
        QCOMPARE(menuThatOpens([&] { QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier); }),
                 QStringList{"Copia"});
        list.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), kLink);
    }

    // On a screen scaled by two (the same test runs under QT_SCALE_FACTOR=2) the thumbnail and
    // the badge take the screen's own pixels: a checkerboard of single pixels stays black and
    // white, the badge is its own picture for that scale.
    void paintsAtDevicePixels() {
        MessageModel model;
        MessageList list(model);
        list.resize(419, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const qreal scale = list.devicePixelRatioF();
        QImage checks(qRound(322 * scale), qRound(161 * scale), QImage::Format_RGB32);
        checks.fill(Qt::white);
        QPainter(&checks).fillRect(checks.rect(), QBrush(Qt::black, Qt::Dense4Pattern));
        QVERIFY(checks.save(m_app.filePath("TempImg/checks.png")));
        model.append({"14:07", 7, "checks.png", true, false, kBlue, Qt::white});
        const QImage shown = list.viewport()->grab().toImage();
        const QPoint inBubble = list.bubbleInViewport(0).topLeft();
        QCOMPARE(inBubble, QPoint(1, 1));
        int sharp = 0;
        const int row = qRound((inBubble.y() + 2 + 80) * scale);
        for (int x = qRound((inBubble.x() + 63 + 10) * scale), end = x + 200; x < end; ++x)
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
    // 23 cm (869 px), 19 px a line, 378 px a page; its value is where the viewport's lower edge
    // (435 px) stands below the list's top. Each new message shows the end again, also one that
    // leaves the bar's range as it was; every bubble in view is painted.
    void wheelAndKeys_data() {
        QTest::addColumn<int>("key"); // 0: the wheel; -1: Page Up, then a 31st message
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<QPoint>("pixels");
        QTest::addColumn<int>("value");
        QTest::newRow("Home") << int(Qt::Key_Home) << QPoint() << QPoint() << 416;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << QPoint() << QPoint() << 491;
        QTest::newRow("Up") << int(Qt::Key_Up) << QPoint() << QPoint() << 850;
        QTest::newRow("Down at the end") << int(Qt::Key_Down) << QPoint() << QPoint() << 869;
        QTest::newRow("End") << int(Qt::Key_End) << QPoint() << QPoint() << 869;
        QTest::newRow("one notch up, three lines") << 0 << QPoint(0, 120) << QPoint() << 812;
        QTest::newRow("touchpad, 40 px up") << 0 << QPoint() << QPoint(0, 40) << 829;
        QTest::newRow("touchpad with both") << 0 << QPoint(0, 120) << QPoint(0, 25) << 844;
        QTest::newRow("a new message after Page Up") << -1 << QPoint() << QPoint() << 869;
    }
    void wheelAndKeys() {
        QFETCH(int, key);
        QFETCH(QPoint, angle);
        QFETCH(QPoint, pixels);
        QFETCH(int, value);
        MessageModel model;
        MessageList list(model);
        list.resize(419, 435);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        appendNumbers(model, 30);
        QTest::keyClick(&list, Qt::Key_PageUp); // the list moves
        QTest::keyClick(&list, key < 0 ? Qt::Key_PageUp : Qt::Key_End);
        const QPoint middle(100, 200);
        QWheelEvent wheel(middle, list.viewport()->mapToGlobal(middle), pixels, angle, Qt::NoButton,
                          {}, Qt::NoScrollPhase, false);
        if (key > 0)
            QTest::keyClick(&list, Qt::Key(key));
        else if (key < 0)
            appendNumbers(model, 1);
        else
            QCoreApplication::sendEvent(list.viewport(), &wheel);
        QCOMPARE(list.verticalScrollBar()->value(), value);
        QCOMPARE(list.bubbleInViewport(0).top(), 435 - value);
        const QImage shown = list.viewport()->grab().toImage();
        for (int i = 0; i < list.count(); ++i)
            if (list.viewport()->rect().contains(list.bubbleInViewport(i)))
                QCOMPARE(shown.pixelColor(list.bubbleInViewport(i).topLeft() + QPoint(70, 10)),
                         kBlue);
    }
};

QTEST_MAIN(TestMessageList)
#include "tst_messagelist.moc"
