#include "tray/frmSysTray.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

// On a real X desktop with a tray host: the icon's menu by pointer and keyboard, and a right press
// under a balloon. Waits are bounded only so that a fault ends the test.
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

    bool choose(int x, int y, const QStringList &keys) {
        return QProcess::execute("xdotool",
                                 {"mousemove", "--window", QString::number(m_icon->winId()),
                                  QString::number(x), QString::number(y), "click", "3"}) == 0 &&
               QTest::qWaitFor([this] { return m_tray.mnuSysTray()->isVisible(); }, 30000) &&
               QProcess::execute("xdotool", QStringList{"key"} + keys) == 0 &&
               QTest::qWaitFor([this] { return !m_tray.mnuSysTray()->isVisible(); }, 30000);
    }

private slots:
    void initTestCase() {
        connect(&m_tray, &frmSysTray::showChat, &m_chat, &QWidget::show);
        connect(&m_tray, &frmSysTray::hideChat, &m_chat, &QWidget::hide);
        m_tray.setIdTicket(5);
        QVERIFY(QTest::qWaitFor([this] { return (m_icon = visibleTopLevel("QSystemTrayIconSys")); },
                                30000));
    }

    void menuHidesAndShowsTheChat() {
        m_chat.show();
        QVERIFY(choose(m_icon->width() / 4, m_icon->height() / 4, {"Down", "Down", "Return"}));
        QVERIFY(!m_chat.isVisible()); // "Nascondi", past the separator
        // Two right clicks on one spot in quick succession would make a double click.
        QVERIFY(choose(m_icon->width() * 3 / 4, m_icon->height() / 4, {"Down", "Return"}));
        QVERIFY(m_chat.isVisible()); // "Visualizza chat"
    }

    void rightPressUnderTheBalloonOpensTheMenuAlone() {
        m_tray.ShowMessageTray(QStringLiteral("Chat terminata."));
        QVERIFY(QTest::qWaitFor([] { return visibleTopLevel("QBalloonTip"); }, 30000));
        m_chat.hide();
        // Below the icon's middle, where the balloon's arrow does not reach; a click taken for
        // one on the balloon would show the chat.
        QVERIFY(choose(m_icon->width() / 2, m_icon->height() * 3 / 4, {"Escape"}));
        QCoreApplication::processEvents(); // a balloon click settles in a later turn of the loop
        QVERIFY(!m_chat.isVisible());
    }
};

QTEST_MAIN(TestTrayDesktop)
#include "tst_traydesktop.moc"
