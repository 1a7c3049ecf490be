#pragma once

#include <QString>
#include <QVariant>

// Reads one value out of an Access database file, never writing to it. The helper-process
// reader stands behind it on Linux; an ODBC reader could on Windows.
class AccessReader {
public:
    struct FirstValue {
        bool readable = false; // false: the file is no database that can be read
        // Invalid: nothing read (no such table or column, no row); null (std::nullptr_t):
        // the first row holds no value; otherwise the value, text or number.
        QVariant value;
    };

    virtual ~AccessReader() = default;
    // The column's value in the table's first row. With an empty table name only tells
    // whether the file can be read.
    virtual FirstValue readFirstValue(const QString &path, const QString &table,
                                      const QString &column) = 0;
};
