#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

#include <optional>

// What the graphical session the client runs in allows, read from the environment.
namespace DesktopSession {

// A Wayland compositor shows no client another's windows: a picture of the screen has to come
// from the desktop itself.
bool isWayland(const QProcessEnvironment &environment);

// The Qt platform to start on, or none for Qt's own choice. Under Wayland the client runs as an
// X client when XWayland is there, since only X lets it put its window bottom right and on top;
// a platform the user set stands.
std::optional<QByteArray> choosePlatform(const QProcessEnvironment &environment);

} // namespace DesktopSession
