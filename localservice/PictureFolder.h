#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The folder that holds uploaded and operator pictures, addressed by bare file name only.
class PictureFolder {
public:
    enum class Stored { Yes, NameTaken, Failed };

    explicit PictureFolder(const QString &path)
        : m_path(path) {}

    QString path() const { return m_path; }

    // A name that stays inside the folder on every platform the client runs on.
    static bool isPlainFileName(const QString &name);
    // A JPEG, PNG, GIF or BMP file name, in any case.
    static bool hasPictureSuffix(const QString &name);
    // A picture's own type; anything else as bytes to save, never to show.
    static QByteArray contentTypeFor(const QString &name);

    // Never replaces a file: a name already there is refused, however close the two writes.
    Stored store(const QString &name, const QByteArray &bytes) const;
    std::optional<QByteArray> load(const QString &name) const;

private:
    QString filePath(const QString &name) const;

    QString m_path;
};
