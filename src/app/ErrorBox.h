#pragma once

#include <QString>

// A modal error box (error icon, one OK button) that returns when the user dismisses it;
// tests record the boxes instead.
class ErrorBox {
public:
    virtual ~ErrorBox() = default;
    virtual void showError(const QString &title, const QString &text) = 0;
};
