#pragma once

#include <QVariant>

#include <optional>

// The value as a number: blanks removed, read with the user's decimal and thousands separators;
// 0 for Null, empty or non-numeric values.
double ToNumber(const QVariant &value);
// The same reading, telling a value that is not a number apart from 0.
std::optional<double> NumberOf(const QVariant &value);

// To the nearest whole number, halves to even; nullopt when the result does not fit.
std::optional<qint32> RoundToInt32(double value);
std::optional<qint16> RoundToInt16(double value);
