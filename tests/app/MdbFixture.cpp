#include "MdbFixture.h"

#include <QProcess>

bool MdbFixture::write(const QString &path, const QString &table, const QStringList &columns,
                       const QStringList &rows, bool damageUsageMap) {
    QStringList arguments;
    if (damageUsageMap)
        arguments << QStringLiteral("--damage-usage-map");
    arguments << path << table << columns.join(QLatin1Char(',')) << rows;
    return QProcess::execute(QStringLiteral(BRENNO_MDBFIXTURE), arguments) == 0;
}
