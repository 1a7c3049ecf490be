#pragma once

#include "app/ActivationChannel.h"
#include "app/InstanceGuard.h"

#include <QLockFile>
#include <QString>

#include <functional>

// One instance per application folder and user: a lock file in the user's runtime folder,
// named after a hash of the folder, so that copies installed elsewhere run side by side.
// The lock is held while this object lives; a crashed holder's lock is taken over. Its holder
// listens on a socket beside it for later starts, which ask it to show the chat.
class InstanceLock : public InstanceGuard {
public:
    explicit InstanceLock(const QString &applicationFolder);

    bool acquire() override;
    void activateRunning() override;

    // What the holder does when the program is started again.
    void setActivationHandler(std::function<void()> handler);

    static QString lockFilePath(const QString &applicationFolder);
    static QString socketPath(const QString &applicationFolder);

private:
    QLockFile m_lock;
    QString m_socketPath;
    ActivationChannel m_activation;
};
