#pragma once

#include <QString>

class Clock;

// Appends "<short date> <hh:mm:ss>- <text>" and CR LF to Log.txt in the application folder,
// only while the Log flag of AppState is on. The file is opened and closed for every entry;
// a failure loses the entry and nothing else. An entry keeps its first 4 KiB and says how many
// bytes it left out; before an entry would take Log.txt past 10 MiB, the file becomes
// Log.old.txt (replacing an older one). A Log.txt that is a symbolic link is not written.
void WriteLog(const QString &text);
void WriteLog(const QString &text, const Clock &clock);
