#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace ServiceDate {

// The time of a message as the service writes it: the system's regional short or long form,
// ISO 8601 with a space or "T" (fractions allowed), or day-first "dd/MM/yyyy HH:mm[:ss]".
// Nothing for a text that is no real date and time, such as the 31st of February.
std::optional<QDateTime> parse(const QString &text);

} // namespace ServiceDate
