#pragma once

#include <QString>

// An information box with a single OK button that never ends the application when closed, even
// when it was the only window on screen.
void ShowNoticeBox(const QString &title, const QString &text);
