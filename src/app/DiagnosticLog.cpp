#include "app/DiagnosticLog.h"

#include "app/AppState.h"
#include "app/Clock.h"
#include "app/Windows1252.h"

#include <QFile>
#include <QLocale>

namespace {
constexpr QLatin1String kLogFileName("/Log.txt");
constexpr QLatin1String kTimeFormat("hh:mm:ss");
} // namespace

void WriteLog(const QString &text) {
    WriteLog(text, Clock::system());
}

void WriteLog(const QString &text, const Clock &clock) {
    const AppState &state = AppState::instance();
    if (text.isEmpty() || !state.Log)
        return;
    const QDateTime now = clock.now();
    const QString line = QLocale::system().toString(now.date(), QLocale::ShortFormat) +
                         QLatin1Char(' ') + now.time().toString(kTimeFormat) + QLatin1String("- ") +
                         text + QLatin1String("\r\n");
    QFile file(state.ApplicationFolder + kLogFileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(Windows1252::encode(line));
}
