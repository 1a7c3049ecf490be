#include "core/IniGest.h"

#include "core/LinkFreePath.h"
#include "core/Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

// Larger files are read by a line scan instead of the profile call.
constexpr qint64 kProfileReadLimit = 64000;
// The profile call reads into a buffer of 512 characters, NUL included.
constexpr int kMaxValueLength = 511;

struct KeyLine {
    QString key;
    QString value;
    qsizetype equalsAt = -1;
};

// Lines are kept without their '\n'; a '\r' before it stays part of the line.
struct IniText {
    QStringList lines;
    bool endsWithNewline = false;
    QString lineEnd = QStringLiteral("\r\n");

    explicit IniText(const QString &content) {
        if (content.isEmpty())
            return;
        endsWithNewline = content.endsWith(QLatin1Char('\n'));
        lines = content.split(QLatin1Char('\n'));
        if (endsWithNewline)
            lines.removeLast();
        if (content.contains(QLatin1Char('\n')) && !content.contains(QLatin1String("\r\n")))
            lineEnd = QStringLiteral("\n");
    }

    QString toString() const {
        return lines.join(QLatin1Char('\n')) + (endsWithNewline ? QStringLiteral("\n") : QString());
    }

    void insert(qsizetype at, const QString &text) {
        const QString carriageReturn = lineEnd.size() == 2 ? QStringLiteral("\r") : QString();
        if (at == lines.size() && !lines.isEmpty() && !endsWithNewline)
            lines.last() += carriageReturn;
        if (at == lines.size())
            endsWithNewline = true;
        lines.insert(at, text + carriageReturn);
    }
};

QString withoutCarriageReturn(const QString &line) {
    return line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
}

// The section name of a "[name]" line, or a null text for any other line.
QString sectionName(const QString &line) {
    const QString trimmed = withoutCarriageReturn(line).trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return QString();
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

KeyLine parseKeyLine(const QString &line) {
    const QString text = withoutCarriageReturn(line);
    KeyLine parsed;
    parsed.equalsAt = text.indexOf(QLatin1Char('='));
    parsed.key = text.left(parsed.equalsAt).trimmed();
    QString value = parsed.equalsAt < 0 ? QString() : text.mid(parsed.equalsAt + 1).trimmed();
    const bool quoted = value.size() >= 2 && value.front() == value.back() &&
                        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''));
    parsed.value = quoted ? value.mid(1, value.size() - 2) : value;
    return parsed;
}

bool sameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// What stays of a key's line when its value is replaced: the key, the equals sign and the
// blanks after it, as the user wrote them.
QString keepsOfKeyLine(const QString &line) {
    const QString text = withoutCarriageReturn(line);
    const qsizetype equalsAt = parseKeyLine(text).equalsAt;
    if (equalsAt < 0)
        return text + QLatin1Char('=');
    qsizetype valueAt = equalsAt + 1;
    while (valueAt < text.size() &&
           (text[valueAt] == QLatin1Char(' ') || text[valueAt] == QLatin1Char('\t')))
        ++valueAt;
    return text.left(valueAt);
}

qsizetype findSection(const IniText &ini, const QString &section) {
    for (qsizetype i = 0; i < ini.lines.size(); ++i) {
        if (sameName(sectionName(ini.lines[i]), section))
            return i;
    }
    return -1;
}

// Index of the key's line within the section that starts at sectionAt, or -1; lastContent
// receives the section's last non-blank line.
qsizetype findKey(const IniText &ini, qsizetype sectionAt, const QString &key,
                  qsizetype *lastContent = nullptr) {
    qsizetype last = sectionAt;
    for (qsizetype i = sectionAt + 1; i < ini.lines.size(); ++i) {
        if (!sectionName(ini.lines[i]).isNull())
            break;
        if (withoutCarriageReturn(ini.lines[i]).trimmed().isEmpty())
            continue;
        last = i;
        if (sameName(parseKeyLine(ini.lines[i]).key, key))
            return i;
    }
    if (lastContent)
        *lastContent = last;
    return -1;
}

QString readProfileValue(const QString &path, const QString &section, const QString &key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const IniText ini(Windows1252::decode(file.readAll()));
    const qsizetype sectionAt = findSection(ini, section);
    const qsizetype keyAt = sectionAt < 0 ? -1 : findKey(ini, sectionAt, key);
    return keyAt < 0 ? QString() : parseKeyLine(ini.lines[keyAt]).value.left(kMaxValueLength);
}

// Values in such files stand in double quotes: the first and last character are dropped.
QString scanLargeFile(const QString &path, const QString &key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    while (!file.atEnd()) {
        QByteArray bytes = file.readLine();
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = Windows1252::decode(bytes);
        if (line.left(key.size()) != key)
            continue;
        const QString raw = line.mid(key.size() + 1);
        return raw.size() < 2 ? QString() : raw.mid(1, raw.size() - 2);
    }
    return QString();
}

bool containsLineBreak(const QString &text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// A key or section that would read back as another line, or split the file, is refused.
bool isWritable(const QString &section, const QString &key, const QString &value) {
    return !section.trimmed().isEmpty() && !key.trimmed().isEmpty() &&
           !containsLineBreak(section + key + value) && !section.contains(QLatin1Char(']')) &&
           !key.contains(QLatin1Char('=')) && !key.trimmed().startsWith(QLatin1Char('['));
}

} // namespace

QString ReadIniValue(const QString &path, const QString &section, const QString &key) {
    if (section.isEmpty() || key.isEmpty())
        return QString();
    if (QFileInfo(path).size() > kProfileReadLimit)
        return scanLargeFile(path, key);
    return readProfileValue(path, section, key);
}

qint32 WriteIniValue(const QString &path, const QString &section, const QString &key,
                     const QString &value) {
    if (!isWritable(section, key, value) || !MayWriteTo(path))
        return 0;
    QByteArray original;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        // An unreadable file is left alone rather than replaced by one key.
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        original = file.readAll();
    }
    IniText ini(Windows1252::decode(original));
    const qsizetype sectionAt = findSection(ini, section);
    if (sectionAt < 0) {
        ini.insert(ini.lines.size(), QLatin1Char('[') + section + QLatin1Char(']'));
        ini.insert(ini.lines.size(), key + QLatin1Char('=') + value);
    } else {
        qsizetype lastContent = sectionAt;
        const qsizetype keyAt = findKey(ini, sectionAt, key, &lastContent);
        if (keyAt < 0) {
            ini.insert(lastContent + 1, key + QLatin1Char('=') + value);
        } else {
            QString &line = ini.lines[keyAt];
            const bool carriageReturn = line.endsWith(QLatin1Char('\r'));
            line =
                keepsOfKeyLine(line) + value + (carriageReturn ? QStringLiteral("\r") : QString());
        }
    }
    const QByteArray updated = Windows1252::encode(ini.toString());
    if (updated == original && QFileInfo::exists(path))
        return 1;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(updated) != updated.size())
        return 0;
    return file.commit() ? 1 : 0;
}
