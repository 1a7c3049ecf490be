#include "widgets/MessageErrorBox.h"

#include <QMessageBox>

void MessageErrorBox::showError(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}
