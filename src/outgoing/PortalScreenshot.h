#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <chrono>
#include <functional>

class QDBusPendingCallWatcher;

// A picture of the screen from the desktop's screenshot portal, for sessions whose compositor
// lets no client read the screen. One request at a time; the answer comes through a callback.
class PortalScreenshot : public QObject {
    Q_OBJECT
public:
    struct Limits {
        // The desktop answers a request without asking anyone quickly, or not at all.
        std::chrono::milliseconds unattended{10000};
        // A request that asks the user waits for the user's choice.
        std::chrono::milliseconds interactive{120000};
    };
    using Taken = std::function<void(const QImage &screen)>;

    explicit PortalScreenshot(QDBusConnection bus, QObject *parent = nullptr);
    PortalScreenshot(QDBusConnection bus, Limits limits, QObject *parent = nullptr);
    ~PortalScreenshot() override;

    // The whole screen, or a null picture when the portal is missing, refuses, stays silent or
    // names no readable file. A refusal without asking is followed by one request that asks.
    void take(Taken done);

private slots:
    void response(uint code, const QVariantMap &results);

private:
    void request(bool interactive);
    // Stops listening for the request's answer. One given up on is closed, so that it neither
    // goes on asking the user nor writes a picture later.
    void letGo(bool closeRequest);
    void deliver(const QImage &screen);

    QDBusConnection m_bus;
    Limits m_limits;
    Taken m_done;
    QString m_handle; // while a request awaits its answer
    bool m_interactive = false;
    QDBusPendingCallWatcher *m_call = nullptr;
    QTimer m_deadline;
};
