#pragma once

#include "app/InstanceGuard.h"

#include <QLockFile>
#include <QString>

// One instance per application folder and user: a lock file in the user's runtime folder,
// named after a hash of the folder, so that copies installed elsewhere run side by side.
// The lock is held while this object lives; a crashed holder's lock is taken over.
class InstanceLock : public InstanceGuard {
public:
    explicit InstanceLock(const QString &applicationFolder);

    bool acquire() override;

    static QString lockFilePath(const QString &applicationFolder);

private:
    QLockFile m_lock;
};
