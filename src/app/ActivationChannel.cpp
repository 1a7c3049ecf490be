#include "app/ActivationChannel.h"

#include <QLocalSocket>

namespace {
// A start that cannot be delivered ends silently, as it did before there was anything to say.
constexpr int kDeliveryPatienceMs = 2000;
} // namespace

ActivationChannel::ActivationChannel(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath)) {
    connect(&m_server, &QLocalServer::newConnection, this, &ActivationChannel::answer);
}

void ActivationChannel::setHandler(std::function<void()> handler) {
    m_handler = std::move(handler);
}

void ActivationChannel::listen() {
    if (m_server.isListening())
        return;
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_socketPath);
}

void ActivationChannel::request(const QString &socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (socket.waitForConnected(kDeliveryPatienceMs))
        socket.disconnectFromServer();
}

// The connection is the request; the socket is the user's own, in their runtime folder.
void ActivationChannel::answer() {
    while (QLocalSocket *peer = m_server.nextPendingConnection()) {
        peer->disconnectFromServer();
        peer->deleteLater();
        if (m_handler)
            m_handler();
    }
}
