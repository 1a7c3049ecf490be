#pragma once

#include "app/ErrorBox.h"

#include <QStringList>

// Records each box as "title: text" instead of showing it.
class RecordingErrorBox : public ErrorBox {
public:
    void showError(const QString &title, const QString &text) override {
        boxes << title + QLatin1String(": ") + text;
    }

    QStringList boxes;
};
