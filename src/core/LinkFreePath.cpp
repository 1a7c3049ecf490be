#include "core/LinkFreePath.h"

#include "core/AppState.h"
#include "core/DiagnosticLog.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kRefused = QStringLiteral("Scrittura rifiutata, collegamento simbolico: ");
} // namespace

bool IsLinkFree(const QString &path) {
    const QString folder = QDir::cleanPath(AppState::instance().ApplicationFolder);
    const QString below = folder + QLatin1Char('/');
    for (QFileInfo entry(QDir::cleanPath(path));; entry.setFile(entry.path())) {
        if (entry.isSymLink() || entry.isJunction())
            return false;
        if (folder.isEmpty() || !entry.path().startsWith(below))
            return true;
    }
}

bool MayWriteTo(const QString &path) {
    if (IsLinkFree(path))
        return true;
    WriteLog(kRefused + QDir::cleanPath(path));
    return false;
}
