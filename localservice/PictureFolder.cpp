#include "PictureFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTemporaryFile>

namespace {

constexpr qsizetype kMaxNameLength = 200;
constexpr auto kBytesType = "application/octet-stream";
const QStringList kPictureSuffixes = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("png"), QStringLiteral("gif"),
                                      QStringLiteral("bmp")};

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

bool PictureFolder::hasPictureSuffix(const QString &name) {
    return kPictureSuffixes.contains(QFileInfo(name).suffix().toLower());
}

QByteArray PictureFolder::contentTypeFor(const QString &name) {
    if (!hasPictureSuffix(name))
        return kBytesType;
    return QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toUtf8();
}

QString PictureFolder::filePath(const QString &name) const {
    return QDir(m_path).filePath(name);
}

PictureFolder::Stored PictureFolder::store(const QString &name, const QByteArray &bytes) const {
    if (!isPlainFileName(name))
        return Stored::Failed;
    // Written aside, then renamed, which on this platform refuses an existing name atomically;
    // a reader never sees half a file.
    QTemporaryFile file(filePath(QStringLiteral(".upload-XXXXXX")));
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return Stored::Failed;
    if (!file.rename(filePath(name)))
        return QFileInfo::exists(filePath(name)) ? Stored::NameTaken : Stored::Failed;
    file.setAutoRemove(false);
    return Stored::Yes;
}

std::optional<QByteArray> PictureFolder::load(const QString &name) const {
    if (!isPlainFileName(name))
        return std::nullopt;
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}
