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
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QColor kBlue(0, 132, 255);
const QString kLink = QStringLiteral("https://esempio.it/Pagina");
const QString kCode = QStringLiteral("codice ABC-123 da copiare");
const ChatMessage kLinkMessage{"14:05", 7, kLink, false, true, kBlue, Qt::white};

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
    // 419 x 435 px, filled by the tests below in turn.
    MessageModel m_longModel;
    MessageList m_long{m_longModel};

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
        m_model.append(kLinkMessage);
        m_model.append({"14:06", 0, kCode, false, false, QColor(227, 232, 240), Qt::black});
        // Stored on its side, as a phone writes it.
        m_model.append({"14:07", 7, "girata.jpg", true, false, kBlue, Qt::white});
        m_list.resize(419, 300);
        m_long.resize(419, 435);
        m_list.show();
        m_long.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_list) && QTest::qWaitForWindowExposed(&m_long));
    }
    void init() { m_opened.clear(); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("https"); }

    // The picture, painted upright, offers nothing to copy; a click shows it upright in
    // "Immagine", across the window's width less a 100-twip margin; resized, the window keeps a
    // 20 px strip below it. Sizes are of the window's outer frame, which the platform may add.
    void picture() {
        QCOMPARE(colourLetter(m_list.viewport()->grab().toImage().pixelColor(66, 61)), 'b');
        QCOMPARE(menuThatOpens([this] { QTest::keyClick(&m_list, Qt::Key_Menu); }),
                 QStringList{"Copia (off)"}); // the menu opens at the middle: on the picture
        ImgFrm &viewer = ImgFrm::instance();
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        const QSize frame = viewer.frameGeometry().size() - viewer.size();
        viewer.resize(QSize(600, 500) - frame);
        QTest::mouseClick(m_list.viewport(), Qt::LeftButton, {}, {100, 81});
        QCOMPARE(viewer.windowTitle(), "Immagine");
        QLabel *image = viewer.findChild<QLabel *>("Image1");
        QCOMPARE(colourLetter(image->pixmap().toImage().pixelColor(0, 0)), 'b');
        QCOMPARE(image->geometry(), QRect(0, 0, 593, 297));
        viewer.resize(QSize(700, 400) - frame);
        QCOMPARE(image->geometry(), QRect(0, 0, 700, 380));
        viewer.ShowImg(QImage()); // a picture without width is not shown
        QVERIFY(image->isHidden());
        viewer.hide();
    }

    // A keyboard user sees that the keys go to the list: a frame at its edge.
    void focusIsSeen() {
        m_list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_list));
        QTest::keyClick(&m_list, Qt::Key_Tab); // styles frame a focus that keys brought
        const QImage focused = m_list.viewport()->grab().toImage();
        m_list.clearFocus();
        const QImage plain = m_list.viewport()->grab().toImage();
        QCOMPARE(plain.pixelColor(0, 150), QColor(Qt::white));
        QVERIFY(focused.pixelColor(0, 150) != plain.pixelColor(0, 150));
    }

    // A drag over the link selects it without opening it, and Ctrl+C copies it. From the
    // bubble's margin the nearest character starts a selection, Shift+click moves its end, and
    // Shift+F10 opens the menu there, leaving the selection as it is. A double click on the link
    // selects a word and opens the link once.
    void selection() {
        drag({73, 11}, {395, 11});
        QTest::keyClick(&m_list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), kLink);
        drag({40, 38}, {395, 38});
        QTest::mouseClick(m_list.viewport(), Qt::LeftButton, Qt::ShiftModifier, {110, 38});
        QCOMPARE(
            menuThatOpens([this] { QTest::keyClick(&m_list, Qt::Key_F10, Qt::ShiftModifier); }),
            QStringList{"Copia"});
        QCOMPARE(m_list.selectedText(), "codice");
        QVERIFY(m_opened.isEmpty());
        // As Qt reports a double click: press, release, press, double click, release.
        QTest::mouseClick(m_list.viewport(), Qt::LeftButton, {}, {80, 11});
        QTest::mouseDClick(m_list.viewport(), Qt::LeftButton, {}, {80, 11});
        QTest::mouseRelease(m_list.viewport(), Qt::LeftButton, {}, {80, 11});
        QCOMPARE(m_list.selectedText(), "https");
        QCOMPARE(m_opened, kLink);
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
        list->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(m_opened, kLink);
    }

    // The badge is drawn for the screen's scale (the same test runs under QT_SCALE_FACTOR=2),
    // at the first bubble's own left edge, one pixel in; the link's bubble shows its top rows.
    void badgeAtDevicePixels() {
        const qreal scale = m_list.devicePixelRatioF();
        const QImage badge(scale > 1 ? ":/bubble/badge@2x.png" : ":/bubble/badge.png");
        const QImage shown = m_list.viewport()->grab().toImage();
        int differing = 0;
        for (int y = 0; y < 24 * scale; ++y)
            for (int x = 0; x < badge.width(); ++x)
                differing += shown.pixel(QPoint(x, y) + QPoint(2, 2) * scale) != badge.pixel(x, y);
        QCOMPARE(differing, 0);
    }

    // One-line bubbles of 410 twips: 30 end at 21.69 cm, the bar runs from 11 cm (416 px) to
    // 23 cm (869 px), 378 px a page; its value is where the viewport's lower edge (435 px) stands
    // below the list's top.
    void scrolling() {
        appendNumbers(m_longModel, 30);
        QScrollBar *bar = m_long.verticalScrollBar();
        QTest::keyClick(&m_long, Qt::Key_Home);
        QCOMPARE(bar->value(), 416);
        QTest::keyClick(&m_long, Qt::Key_End);
        QTest::keyClick(&m_long, Qt::Key_PageUp);
        QCOMPARE(bar->value(), 491);
        // A new message shows the end again, also one that leaves the bar's range as it was.
        m_longModel.append(kLinkMessage);
        QCOMPARE(bar->value(), 869);
        // With nothing selected, the menu copies the clicked bubble whole.
        const QPoint onLink = m_long.bubbleInViewport(30).topLeft() + QPoint(80, 10);
        QTest::mouseClick(m_long.viewport(), Qt::LeftButton, {}, onLink);
        QCOMPARE(m_opened, kLink);
        QCOMPARE(
            menuThatOpens([this] { QTest::keyClick(&m_long, Qt::Key_F10, Qt::ShiftModifier); }),
            QStringList{"Copia"});
        m_long.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), kLink);

        // A touchpad's pixels go before its angle.
        const QPoint middle(100, 200);
        QWheelEvent touchpad(middle, m_long.viewport()->mapToGlobal(middle), {0, 25}, {0, 120},
                             Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_long.viewport(), &touchpad);
        QCOMPARE(bar->value(), 844);
        QCOMPARE(m_long.bubbleInViewport(0).top(), 435 - 844);
        // Every bubble in view is painted.
        const QImage shown = m_long.viewport()->grab().toImage();
        for (int i = 0; i < m_long.count(); ++i)
            if (m_long.viewport()->rect().contains(m_long.bubbleInViewport(i)))
                QCOMPARE(shown.pixelColor(m_long.bubbleInViewport(i).topLeft() + QPoint(70, 10)),
                         kBlue);
    }

    // Ten thousand more messages, one of 65 000 characters and a picture that cannot be read:
    // the list scrolls through them and reads them aloud.
    void badInput() {
        QVERIFY(QFile(m_app.filePath("TempImg/broken.png")).open(QIODevice::WriteOnly));
        appendNumbers(m_longModel, 10000);
        m_longModel.append({"14:06", 7, QString(65000, u'x'), false, false, kBlue, Qt::black});
        m_longModel.append({"14:07", 7, "broken.png", true, false, kBlue, Qt::black});
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up})
            QTest::keyClick(&m_long, key);
        QVERIFY(!m_long.viewport()->grab().isNull());
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&m_long);
        QCOMPARE(spoken->childCount(), 10033);
        QCOMPARE(spoken->child(10031)->textInterface()->characterCount(), 65000);
        QCOMPARE(spoken->child(10032)->text(QAccessible::Description), "immagine broken.png");
    }
};

QTEST_MAIN(TestMessageList)
#include "tst_messagelist.moc"
