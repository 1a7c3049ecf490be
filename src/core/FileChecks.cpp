#include "core/FileChecks.h"

#include <QFile>
#include <QFileInfo>

bool FileExists(const QString &path) {
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

bool FolderExists(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}
