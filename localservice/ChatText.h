#pragma once

#include <QString>

// Message texts as the service keeps and sends them.
namespace ChatText {

constexpr auto kLineBreak = QLatin1String("<br>");
// How a message's time travels, in the service's local time.
constexpr auto kDateFormat = QLatin1String("yyyy-MM-dd HH:mm:ss");

// The most a message text may hold as stored and sent, in bytes of UTF-8: far over anything
// typed, and a bound on what one request makes the service keep and every reader fetch.
constexpr qsizetype kMaxBytes = 64 * 1024;

// Line breaks of any convention become "<br>", which the client turns back into CR LF; other
// control characters are dropped because XML 1.0 cannot carry them and an answer the client
// cannot parse would hold its conversation back for good.
QString toWireText(const QString &plain);
bool fitsMessage(const QString &wire);

} // namespace ChatText
