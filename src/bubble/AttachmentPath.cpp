#include "bubble/AttachmentPath.h"

#include "core/ServiceProtocol.h"

#include <QDir>

namespace {

const QString kPictureFolder = QLatin1String(ServiceProtocol::kPictureFolder);

} // namespace

QString AttachmentPath(const QString &applicationFolder, const QString &name) {
    // The names come from Windows systems, where both slashes separate folders.
    QString relative = name;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) ||
        relative.startsWith(QLatin1Char('/')) || relative.contains(QLatin1Char(':')))
        return {};
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")))
        return {};
    return applicationFolder + QLatin1Char('/') + kPictureFolder + QLatin1Char('/') +
           parts.join(QLatin1Char('/'));
}
