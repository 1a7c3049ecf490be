#include "session/ServiceDate.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace ServiceDate {

namespace {

// One-digit patterns read two digits as well.
constexpr const char *kDayFirstDates[] = {"d/M/yyyy", "d/M/yy"};
constexpr const char *kDayFirstTimes[] = {"H:mm:ss", "H:mm"};
// Qt reads a two-digit year as 19yy.
constexpr int kYearsToThisCentury = 100;

bool hasTwoDigitYear(const QString &format) {
    return format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"));
}

// The time of a format with its seconds and without its time zone, and without the seconds.
QStringList timeForms(const QLocale &regional) {
    QString seconds = regional.timeFormat(QLocale::LongFormat);
    seconds.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    QString minutes = seconds;
    minutes.remove(QRegularExpression(QStringLiteral("[^\\w\\s]?ss")));
    return {seconds, minutes};
}

// The regional short and long forms first, as the system writes them; then each regional date
// with or without seconds, or alone.
QStringList regionalFormats(const QLocale &regional) {
    QStringList formats{regional.dateTimeFormat(QLocale::ShortFormat),
                        regional.dateTimeFormat(QLocale::LongFormat)};
    for (const auto length : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString date = regional.dateFormat(length);
        for (const QString &time : timeForms(regional))
            formats << date + QLatin1Char(' ') + time;
        formats << date;
    }
    formats.removeDuplicates();
    return formats;
}

QStringList dayFirstFormats() {
    QStringList formats;
    for (const char *date : kDayFirstDates) {
        for (const char *time : kDayFirstTimes)
            formats << QString::fromLatin1(date) + QLatin1Char(' ') + QString::fromLatin1(time);
        formats << QString::fromLatin1(date);
    }
    return formats;
}

std::optional<QDateTime> parseWith(const QString &text, const QLocale &locale,
                                   const QStringList &formats) {
    for (const QString &format : formats) {
        QDateTime dateTime = locale.toDateTime(text, format);
        if (!dateTime.isValid())
            continue;
        if (hasTwoDigitYear(format))
            dateTime.setDate(dateTime.date().addYears(kYearsToThisCentury));
        return dateTime;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> parse(const QString &text, const QLocale &regional) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (const auto dateTime = parseWith(trimmed, regional, regionalFormats(regional)))
        return dateTime;
    const QDateTime iso = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (iso.isValid())
        return iso;
    return parseWith(trimmed, QLocale::c(), dayFirstFormats());
}

} // namespace ServiceDate
