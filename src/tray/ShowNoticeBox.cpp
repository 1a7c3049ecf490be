#include "tray/ShowNoticeBox.h"

#include <QMessageBox>

void ShowNoticeBox(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
    // The tray form is hidden for good, so this box may be the last window a user closes.
    box.setAttribute(Qt::WA_QuitOnClose, false);
    box.exec();
}
