#include "app/SelectStatement.h"

#include <QRegularExpression>

std::optional<SelectStatement> SelectStatement::parse(const QString &sql) {
    static const QRegularExpression form(
        QStringLiteral(
            R"(^\s*SELECT\s+(?:\[([^\[\]]+)\]|(\w+))\s+FROM\s+(?:\[([^\[\]]+)\]|(\w+))\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = form.match(sql);
    if (!match.hasMatch())
        return std::nullopt;
    return SelectStatement{match.captured(1) + match.captured(2),
                           match.captured(3) + match.captured(4)};
}
