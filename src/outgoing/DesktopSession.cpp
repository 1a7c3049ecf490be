#include "outgoing/DesktopSession.h"

namespace DesktopSession {

namespace {
// Qt, like the desktops, reads an empty variable as an unset one.
bool isSet(const QProcessEnvironment &environment, const QString &name) {
    return !environment.value(name).isEmpty();
}
} // namespace

bool isWayland(const QProcessEnvironment &environment) {
    return environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland") ||
           isSet(environment, QStringLiteral("WAYLAND_DISPLAY"));
}

std::optional<QByteArray> choosePlatform(const QProcessEnvironment &environment) {
    if (isSet(environment, QStringLiteral("QT_QPA_PLATFORM")) || !isWayland(environment))
        return std::nullopt;
    // Without XWayland, Qt on GNOME would still try X and fail to start.
    return isSet(environment, QStringLiteral("DISPLAY")) ? QByteArray("xcb")
                                                         : QByteArray("wayland");
}

} // namespace DesktopSession
