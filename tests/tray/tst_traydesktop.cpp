#include "tray/frmSysTray.h"

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QTest>

// On a real X desktop with a tray host: a right press under a balloon, and the icon's menu by
// pointer and keyboard. Waits are bounded only so that a fault ends the test.
static QWidget *visibleTopLevel(const char *className) {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && qstrcmp(widget->metaObject()->className(), className) == 0)
            return widget;
    return nullptr;
}

class TestTrayDesktop : public QObject {
    Q_OBJECT
    QWidget m_chat;
    frmSysTray m_tray;
    QWidget *m_icon = nullptr;

    // The host embeds the icon some while after Qt shows it; a press before would miss it.
    bool embedded() {
        QProcess xwininfo;
        xwininfo.start("xwininfo", {"-tree", "-id", QString::number(m_icon->winId())});
        xwininfo.waitForFinished();
        const QByteArray tree = xwininfo.readAllStandardOutput();
        const QByteArray parent = tree.mid(tree.indexOf("Parent window id"));
        return !parent.isEmpty() && !parent.left(parent.indexOf('\n')).contains("root window");
    }

    // Keys go to the menu once it is on the screen.
    bool choose(int x, int y, const QStringList &keys) {
        QMenu *menu = m_tray.mnuSysTray();
        return QProcess::execute("xdotool",
                                 {"mousemove", "--window", QString::number(m_icon->winId()),
                                  QString::number(x), QString::number(y), "click", "3"}) == 0 &&
               QTest::qWaitFor([menu] { return menu->isVisible(); }, 30000) &&
               QTest::qWaitForWindowExposed(menu, 30000) &&
               QProcess::execute("xdotool", QStringList{"key"} + keys) == 0 &&
               QTest::qWaitFor([menu] { return !menu->isVisible(); }, 30000);
    }

private slots:
    void initTestCase() {
        connect(&m_tray, &frmSysTray::showChat, &m_chat, &QWidget::show);
        connect(&m_tray, &frmSysTray::hideChat, &m_chat, &QWidget::hide);
        m_tray.setIdTicket(5);
        QVERIFY(QTest::qWaitFor([this] { return (m_icon = visibleTopLevel("QSystemTrayIconSys")); },
                                30000));
        QVERIFY(QTest::qWaitFor([this] { return embedded(); }, 30000));
    }

    void pressesAndMenuChoices() {
        m_tray.ShowMessageTray(QStringLiteral("Chat terminata."));
        QVERIFY(QTest::qWaitFor([] { return visibleTopLevel("QBalloonTip"); }, 30000));
        // Below the icon's middle, where the balloon's arrow does not reach; a press there taken
        // for a click on the balloon would show the chat.
        QVERIFY(choose(m_icon->width() / 2, m_icon->height() * 3 / 4, {"Escape"}));
        QCoreApplication::processEvents(); // a balloon click settles in a later turn of the loop
        QVERIFY(!m_chat.isVisible());
        // Two right presses on one spot in quick succession would make a double click.
        QVERIFY(choose(m_icon->width() / 4, m_icon->height() / 4, {"Down", "Return"}));
        QVERIFY(m_chat.isVisible()); // "Visualizza chat"
        QVERIFY(choose(m_icon->width() * 3 / 4, m_icon->height() / 4, {"Down", "Down", "Return"}));
        QVERIFY(!m_chat.isVisible()); // "Nascondi", past the separator
    }
};

QTEST_MAIN(TestTrayDesktop)
#include "tst_traydesktop.moc"
