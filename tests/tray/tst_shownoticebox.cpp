#include "tray/ShowNoticeBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// What a box looked like while it was on screen.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool modal = false;
};

QMessageBox *visibleBox() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            return box;
    return nullptr;
}

} // namespace

class TestShowNoticeBox : public QObject {
    Q_OBJECT
private slots:
    void showsInformationWithOkAndKeepsApplication_data();
    void showsInformationWithOkAndKeepsApplication();
};

void TestShowNoticeBox::showsInformationWithOkAndKeepsApplication_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("balloon clicked") << "Notice"
                                     << "Balloon tip was clicked";
    QTest::newRow("accented text") << "Avviso"
                                   << "Perché è così";
}

void TestShowNoticeBox::showsInformationWithOkAndKeepsApplication() {
    QFETCH(QString, title);
    QFETCH(QString, text);
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    SeenBox seen;
    bool found = false;
    const auto answerWithOk = [&] {
        QMessageBox *box = visibleBox();
        if (!box)
            return;
        found = true;
        seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                box->isModal()};
        box->button(QMessageBox::Ok)->click();
    };
    // Closing the last window ends the application only inside its main loop, so run one.
    constexpr int kStillRunning = 7;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, answerWithOk); // runs inside the box's own event loop
        ShowNoticeBox(title, text);
        QTimer::singleShot(0, [] { QCoreApplication::exit(kStillRunning); });
    });

    QCOMPARE(QCoreApplication::exec(), kStillRunning);

    QVERIFY(found);
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(seen.modal);
    QCOMPARE(lastWindowClosed.count(), 0);
}

QTEST_MAIN(TestShowNoticeBox)
#include "tst_shownoticebox.moc"
