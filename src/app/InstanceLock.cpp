#include "app/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace {
constexpr QLatin1String kLockPrefix("brenno-");
constexpr QLatin1String kLockSuffix(".lock");
constexpr QLatin1String kSocketSuffix(".socket");
constexpr int kHashCharacters = 32;

QString runtimePath(const QString &applicationFolder, QLatin1String suffix) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray key = QDir::cleanPath(QDir(applicationFolder).absolutePath()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return folder + QLatin1Char('/') + kLockPrefix +
           QString::fromLatin1(hash.left(kHashCharacters)) + suffix;
}
} // namespace

InstanceLock::InstanceLock(const QString &applicationFolder)
    : m_lock(lockFilePath(applicationFolder))
    , m_socketPath(socketPath(applicationFolder))
    , m_activation(m_socketPath) {
    // Held for the life of the process: never stale while its holder runs.
    m_lock.setStaleLockTime(0);
}

bool InstanceLock::acquire() {
    if (m_lock.isLocked())
        return true;
    if (!m_lock.tryLock(0))
        return false;
    m_activation.listen();
    return true;
}

void InstanceLock::activateRunning() {
    ActivationChannel::request(m_socketPath);
}

void InstanceLock::setActivationHandler(std::function<void()> handler) {
    m_activation.setHandler(std::move(handler));
}

QString InstanceLock::lockFilePath(const QString &applicationFolder) {
    return runtimePath(applicationFolder, kLockSuffix);
}

QString InstanceLock::socketPath(const QString &applicationFolder) {
    return runtimePath(applicationFolder, kSocketSuffix);
}
