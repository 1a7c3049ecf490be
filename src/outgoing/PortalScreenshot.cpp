#include "outgoing/PortalScreenshot.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QUrl>

namespace {
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kRequestPathPrefix = QStringLiteral("/org/freedesktop/portal/desktop/request/");
const QString kResponse = QStringLiteral("Response");
const char *const kResponseSlot = SLOT(response(uint, QVariantMap));
constexpr uint kGranted = 0;
} // namespace

PortalScreenshot::PortalScreenshot(QDBusConnection bus, QObject *parent)
    : PortalScreenshot(std::move(bus), Limits(), parent) {}

PortalScreenshot::PortalScreenshot(QDBusConnection bus, Limits limits, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_limits(limits) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        letGo(true);
        deliver(QImage());
    });
}

PortalScreenshot::~PortalScreenshot() {
    if (!m_handle.isEmpty())
        letGo(true);
}

void PortalScreenshot::take(Taken done) {
    m_done = std::move(done);
    request(false);
}

void PortalScreenshot::request(bool interactive) {
    static int serial = 0;
    const QString token = QStringLiteral("brenno%1").arg(++serial);
    // The portal names the request after the caller and the token (since version 0.9). Listening
    // there before asking also catches an answer that overtakes the call's own reply.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    m_handle = kRequestPathPrefix + sender + QLatin1Char('/') + token;
    m_interactive = interactive;
    m_bus.connect(kPortalService, m_handle, kRequestInterface, kResponse, this, kResponseSlot);

    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), interactive}};
    const std::chrono::milliseconds limit =
        interactive ? m_limits.interactive : m_limits.unattended;
    m_call = new QDBusPendingCallWatcher(m_bus.asyncCall(call, int(limit.count())), this);
    connect(m_call, &QDBusPendingCallWatcher::finished, this, [this] {
        // A portal that is missing or refuses the call will never answer on the request path.
        if (m_call && m_call->isError()) {
            letGo(false);
            deliver(QImage());
        }
    });
    m_deadline.start(limit);
}

void PortalScreenshot::response(uint code, const QVariantMap &results) {
    if (m_handle.isEmpty())
        return;
    letGo(false);
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (code != kGranted && !m_interactive)
        return request(true);
    deliver(code == kGranted && uri.isLocalFile() ? QImage(uri.toLocalFile()) : QImage());
}

void PortalScreenshot::letGo(bool closeRequest) {
    const QString handle = std::exchange(m_handle, QString());
    m_bus.disconnect(kPortalService, handle, kRequestInterface, kResponse, this, kResponseSlot);
    m_deadline.stop();
    if (m_call)
        std::exchange(m_call, nullptr)->deleteLater();
    if (closeRequest)
        m_bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, handle, kRequestInterface,
                                                       QStringLiteral("Close")));
}

void PortalScreenshot::deliver(const QImage &screen) {
    if (m_done)
        std::exchange(m_done, nullptr)(screen);
}
