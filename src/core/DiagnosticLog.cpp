#include "core/DiagnosticLog.h"

#include "core/AppState.h"
#include "core/Clock.h"
#include "core/LinkFreePath.h"
#include "core/Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <filesystem>
#include <system_error>

namespace {

constexpr QLatin1String kLogFileName("/Log.txt");
constexpr QLatin1String kOldLogFileName("/Log.old.txt");
constexpr QLatin1String kTimeFormat("hh:mm:ss");
// A service can answer megabytes of junk as fast as it likes: the log keeps the head of each
// entry, and at most two files of a bounded size.
constexpr qsizetype kMaxEntryBytes = 4 * 1024;
constexpr qint64 kMaxLogBytes = 10 * 1024 * 1024;
const QString kLeftOut = QStringLiteral(" ... (altri %1 byte)");

QByteArray entryBytes(const QString &text) {
    QByteArray bytes = Windows1252::encode(text);
    if (bytes.size() <= kMaxEntryBytes)
        return bytes;
    const qsizetype leftOut = bytes.size() - kMaxEntryBytes;
    bytes.truncate(kMaxEntryBytes);
    return bytes + Windows1252::encode(kLeftOut.arg(leftOut));
}

// A full Log.txt becomes Log.old.txt. std::filesystem::rename replaces an older one, as a link
// too, without following it; QFile::rename refuses an existing name or copies through a link.
bool makeRoomFor(qint64 lineBytes, const QString &folder) {
    const QFileInfo log(folder + kLogFileName);
    if (log.size() == 0 || log.size() + lineBytes <= kMaxLogBytes)
        return true;
    std::error_code error;
    std::filesystem::rename(log.filesystemFilePath(),
                            QFileInfo(folder + kOldLogFileName).filesystemFilePath(), error);
    return !error;
}

} // namespace

void WriteLog(const QString &text) {
    WriteLog(text, Clock::system());
}

void WriteLog(const QString &text, const Clock &clock) {
    const AppState &state = AppState::instance();
    if (text.isEmpty() || !state.Log)
        return;
    const QString path = state.ApplicationFolder + kLogFileName;
    // A refusal cannot be logged: the log is what is refused.
    if (!IsLinkFree(path))
        return;
    const QDateTime now = clock.now();
    const QString stamp = QLocale::system().toString(now.date(), QLocale::ShortFormat) +
                          QLatin1Char(' ') + now.time().toString(kTimeFormat) + QLatin1String("- ");
    const QByteArray line = Windows1252::encode(stamp) + entryBytes(text) + "\r\n";
    if (!makeRoomFor(line.size(), state.ApplicationFolder))
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line);
}
