#include "service/ResponseText.h"

#include "core/Windows1252.h"

#include <QList>
#include <QStringDecoder>

namespace {

QByteArray declaredCharset(const QByteArray &contentType) {
    const QList<QByteArray> parameters = contentType.split(';');
    for (qsizetype i = 1; i < parameters.size(); ++i) {
        const QByteArray parameter = parameters[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray name = parameter.mid(equals + 1).trimmed();
        if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
            name = name.mid(1, name.size() - 2);
        return name;
    }
    return {};
}

} // namespace

QString ResponseText(const QByteArray &contentType, const QByteArray &body) {
    const QByteArray charset = declaredCharset(contentType).toLower();
    // Qt reaches this code page only through ICU, which some builds lack.
    if (charset == "windows-1252" || charset == "cp1252")
        return Windows1252::decode(body);
    QStringDecoder decoder(charset.constData());
    if (charset.isEmpty() || !decoder.isValid())
        return QString::fromUtf8(body);
    return decoder.decode(body);
}
