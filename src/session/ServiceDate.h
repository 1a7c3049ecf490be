#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace ServiceDate {

// The time of a message as the service writes it: a regional date (short or long) with a time,
// with or without seconds, or alone; ISO 8601 with a space or "T" (fractions allowed); or
// day-first "d/M/yyyy" with "H:mm:ss", "H:mm" or no time. Two-digit years are 2000 to 2099.
// Nothing for a text that is no real date and time, such as the 31st of February.
std::optional<QDateTime> parse(const QString &text, const QLocale &regional = QLocale::system());

} // namespace ServiceDate
