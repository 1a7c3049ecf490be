#pragma once

#include <QString>
#include <QVariant>

#include <optional>

class QWidget;

// The value as a number: blanks removed, read with the user's decimal and thousands separators;
// 0 for Null, empty or non-numeric values.
double ToNumber(const QVariant &value);
// The same reading, telling a value that is not a number apart from 0.
std::optional<double> NumberOf(const QVariant &value);

// To the nearest whole number, halves to even; nullopt when the result does not fit.
std::optional<qint32> RoundToInt32(double value);
std::optional<qint16> RoundToInt16(double value);

// True when the path names a file that can be opened for reading.
bool FileExists(const QString &path);
// True when the path names a folder; a trailing separator is allowed.
bool FolderExists(const QString &path);

// Shows the window above the others (or takes it out of that band) without giving it the focus
// and without moving or resizing it.
void SetTopMost(QWidget *window, bool onTop);
