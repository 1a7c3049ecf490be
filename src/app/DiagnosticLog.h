#pragma once

#include <QString>

class Clock;

// Appends "<short date> <hh:mm:ss>- <text>" and CR LF to Log.txt in the application folder,
// only while the Log flag of AppState is on. The file is opened and closed for every entry;
// a failure loses the entry and nothing else.
void WriteLog(const QString &text);
void WriteLog(const QString &text, const Clock &clock);
