#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <optional>

class QEventLoop;

// A picture of the screen from the desktop's screenshot portal, for sessions whose compositor
// lets no client read the screen. Synchronous for its caller, like every exchange of the client.
class PortalScreenshot : public QObject {
    Q_OBJECT
public:
    struct Limits {
        // The desktop answers a request without asking anyone quickly, or not at all.
        std::chrono::milliseconds unattended{10000};
        // A request that asks the user waits for the user's choice.
        std::chrono::milliseconds interactive{120000};
    };

    explicit PortalScreenshot(QDBusConnection bus);
    PortalScreenshot(QDBusConnection bus, Limits limits);

    // The whole screen, or a null picture when the portal is missing, refuses, stays silent or
    // names no readable file. A refusal without asking is followed by one request that asks.
    QImage take();

private slots:
    void response(uint code, const QVariantMap &results);

private:
    enum class Answer { Granted, Refused, None };

    Answer request(bool interactive, std::chrono::milliseconds limit);

    QDBusConnection m_bus;
    Limits m_limits;
    QEventLoop *m_waiting = nullptr; // while a request awaits its answer
    std::optional<uint> m_code;
    QString m_uri;
};
