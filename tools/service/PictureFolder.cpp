#include "PictureFolder.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QSaveFile>

namespace {

constexpr qsizetype kMaxNameLength = 200;

} // namespace

bool PictureFolder::isPlainFileName(const QString &name) {
    if (name.isEmpty() || name.size() > kMaxNameLength || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

QByteArray PictureFolder::contentTypeFor(const QString &name) {
    return QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toUtf8();
}

QString PictureFolder::filePath(const QString &name) const {
    return QDir(m_path).filePath(name);
}

bool PictureFolder::store(const QString &name, const QByteArray &bytes) const {
    if (!isPlainFileName(name))
        return false;
    QSaveFile file(filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

std::optional<QByteArray> PictureFolder::load(const QString &name) const {
    if (!isPlainFileName(name))
        return std::nullopt;
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}
