#include "app/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace {
constexpr QLatin1String kLockPrefix("brenno-");
constexpr QLatin1String kLockSuffix(".lock");
constexpr int kHashCharacters = 32;
} // namespace

InstanceLock::InstanceLock(const QString &applicationFolder)
    : m_lock(lockFilePath(applicationFolder)) {
    // Held for the life of the process: never stale while its holder runs.
    m_lock.setStaleLockTime(0);
}

bool InstanceLock::acquire() {
    return m_lock.isLocked() || m_lock.tryLock(0);
}

QString InstanceLock::lockFilePath(const QString &applicationFolder) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray key = QDir::cleanPath(QDir(applicationFolder).absolutePath()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return folder + QLatin1Char('/') + kLockPrefix +
           QString::fromLatin1(hash.left(kHashCharacters)) + kLockSuffix;
}
