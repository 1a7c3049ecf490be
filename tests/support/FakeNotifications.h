#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <tuple>

// Application, replaced id, icon, summary, body, actions, hints, timeout.
using Notification =
    std::tuple<QString, uint, QString, QString, QString, QStringList, QVariantMap, int>;

// The desktop's notification service, to be registered on a private bus.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<Notification> calls;

    bool registerOn(QDBusConnection desktop) {
        return desktop.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
               desktop.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                      QDBusConnection::ExportAllSlots);
    }

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout) {
        calls << Notification{appName, replacesId, appIcon, summary,
                              body,    actions,    hints,   expireTimeout};
        return uint(calls.size());
    }
};
