#pragma once

#include <QString>
#include <QStringList>

// Writes an Access file with one table through brenno-mdbfixture. columns: "Name:text" or
// "Name:long"; each row holds the values of the columns separated by '|', \N for NULL.
namespace MdbFixture {

bool write(const QString &path, const QString &table, const QStringList &columns,
           const QStringList &rows, bool damageUsageMap = false);

} // namespace MdbFixture
