#include "chat/ServiceDate.h"

#include <QLocale>

namespace ServiceDate {

namespace {
// One-digit patterns read two digits as well.
constexpr const char *kDayFirstFormats[] = {"d/M/yyyy H:mm:ss", "d/M/yyyy H:mm"};
} // namespace

std::optional<QDateTime> parse(const QString &text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;

    const QLocale system = QLocale::system();
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime dateTime = system.toDateTime(trimmed, format);
        if (dateTime.isValid())
            return dateTime;
    }
    const QDateTime iso = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (iso.isValid())
        return iso;
    for (const char *format : kDayFirstFormats) {
        const QDateTime dateTime = QDateTime::fromString(trimmed, QString::fromLatin1(format));
        if (dateTime.isValid())
            return dateTime;
    }
    return std::nullopt;
}

} // namespace ServiceDate
