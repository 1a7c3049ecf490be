#include "core/Numbers.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace {

template<typename Int> std::optional<Int> roundToNearestEven(double value) {
    // std::nearbyint rounds halves to even in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return Int(rounded);
}

bool isNumericType(const QVariant &value) {
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<double> NumberOf(const QVariant &value) {
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    double number = 0;
    bool ok = false;
    if (isNumericType(value)) {
        // Numbers are taken as they are; their text form would follow the C locale.
        number = value.toDouble(&ok);
    } else {
        QString text = value.toString();
        text.remove(QLatin1Char(' '));
        number = QLocale().toDouble(text, &ok);
    }
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

double ToNumber(const QVariant &value) {
    return NumberOf(value).value_or(0.0);
}

std::optional<qint32> RoundToInt32(double value) {
    return roundToNearestEven<qint32>(value);
}
std::optional<qint16> RoundToInt16(double value) {
    return roundToNearestEven<qint16>(value);
}
