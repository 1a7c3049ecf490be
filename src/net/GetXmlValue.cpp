#include "net/GetXmlValue.h"

#include "core/DiagnosticLog.h"

#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

void logUnreadable(const QXmlStreamReader &reader, const QString &response) {
    WriteLog(QStringLiteral("%1 (line %2, column %3)")
                 .arg(reader.errorString())
                 .arg(reader.lineNumber())
                 .arg(reader.columnNumber()));
    WriteLog(QLatin1String("XML: ") + response);
}

} // namespace

QString GetXmlValue(const QString &response, const QString &path) {
    if (response.isEmpty())
        return {};
    const QStringList steps = path.split(u'/');
    const bool validPath =
        steps.size() > 1 && steps.first().isEmpty() && !steps.mid(1).contains(QString());

    // The whole document is read even after a match: a response that is not well-formed
    // yields nothing, wherever the fault lies.
    QXmlStreamReader reader(response);
    QStringList open;
    bool found = false;
    qsizetype insideMatch = 0; // depth of the matched element while its content is read
    QString value;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            open.append(reader.qualifiedName().toString());
            if (!found && validPath && open.size() == steps.size() - 1 &&
                std::equal(open.cbegin(), open.cend(), steps.cbegin() + 1)) {
                found = true;
                insideMatch = open.size();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (insideMatch == open.size())
                insideMatch = 0;
            open.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (insideMatch > 0 && !(reader.isWhitespace() && !reader.isCDATA()))
                value += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        logUnreadable(reader, response);
        return {};
    }
    return value;
}
