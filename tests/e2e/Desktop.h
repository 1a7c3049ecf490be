#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// The X desktop seen and driven from outside, as a user would: xdotool, xwininfo and import.
namespace Desktop {

// Ids of the viewable windows with exactly this title (plain words, no pattern characters).
QStringList windowsNamed(const QString &title);
// Position on the screen and size; empty when the window is gone.
QRect windowGeometry(const QString &windowId);
bool isViewable(const QString &windowId);
QSize screenSize();

// A left click at a point of the window's client area.
bool clickAt(const QString &windowId, const QPoint &point);
// Keystrokes to the window under the pointer.
bool type(const QString &text);
bool pressKey(const QString &keyName);

bool saveScreenshot(const QString &path);

} // namespace Desktop
