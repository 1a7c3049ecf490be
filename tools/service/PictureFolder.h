#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The folder that holds uploaded and operator pictures, addressed by bare file name only.
class PictureFolder {
public:
    explicit PictureFolder(const QString &path)
        : m_path(path) {}

    QString path() const { return m_path; }

    // A name that stays inside the folder on every platform the client runs on.
    static bool isPlainFileName(const QString &name);
    static QByteArray contentTypeFor(const QString &name);

    // Replaces a file of the same name; false when the name is refused or the write fails.
    bool store(const QString &name, const QByteArray &bytes) const;
    std::optional<QByteArray> load(const QString &name) const;

private:
    QString filePath(const QString &name) const;

    QString m_path;
};
