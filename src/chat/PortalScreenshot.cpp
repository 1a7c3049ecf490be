#include "chat/PortalScreenshot.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>
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

PortalScreenshot::PortalScreenshot(QDBusConnection bus)
    : PortalScreenshot(std::move(bus), Limits()) {}

PortalScreenshot::PortalScreenshot(QDBusConnection bus, Limits limits)
    : m_bus(std::move(bus))
    , m_limits(limits) {}

QImage PortalScreenshot::take() {
    Answer answer = request(false, m_limits.unattended);
    if (answer == Answer::Refused)
        answer = request(true, m_limits.interactive);
    if (answer != Answer::Granted)
        return QImage();
    const QUrl uri(m_uri);
    return uri.isLocalFile() ? QImage(uri.toLocalFile()) : QImage();
}

void PortalScreenshot::response(uint code, const QVariantMap &results) {
    m_code = code;
    m_uri = results.value(QStringLiteral("uri")).toString();
    if (m_waiting)
        m_waiting->quit();
}

PortalScreenshot::Answer PortalScreenshot::request(bool interactive,
                                                   std::chrono::milliseconds limit) {
    static int serial = 0;
    const QString token = QStringLiteral("brenno%1").arg(++serial);
    // The portal names the request after the caller and the token (since version 0.9). Listening
    // there before asking also catches an answer that overtakes the call's own reply.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = kRequestPathPrefix + sender + QLatin1Char('/') + token;
    m_code.reset();
    m_uri.clear();
    QEventLoop loop;
    m_waiting = &loop;
    m_bus.connect(kPortalService, handle, kRequestInterface, kResponse, this, kResponseSlot);
    const auto leave = qScopeGuard([&] {
        m_bus.disconnect(kPortalService, handle, kRequestInterface, kResponse, this, kResponseSlot);
        m_waiting = nullptr;
    });

    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), interactive}};
    bool callFailed = false;
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(call, int(limit.count())));
    connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&] {
        if (watcher.isError()) {
            callFailed = true;
            loop.quit();
        }
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(limit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (m_code)
        return *m_code == kGranted ? Answer::Granted : Answer::Refused;
    // A request given up on must not go on asking the user, nor write a picture later.
    if (!callFailed)
        m_bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, handle, kRequestInterface,
                                                       QStringLiteral("Close")));
    return Answer::None;
}
