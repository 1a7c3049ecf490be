#pragma once

#include "app/ErrorBox.h"

// The error box as a QMessageBox.
class MessageErrorBox : public ErrorBox {
public:
    void showError(const QString &title, const QString &text) override;
};
