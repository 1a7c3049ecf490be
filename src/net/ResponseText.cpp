#include "net/ResponseText.h"

#include "core/Windows1252.h"

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

// The WHATWG Encoding Standard's labels of windows-1252: servers that say Latin-1 or ASCII send
// the euro sign and curly quotes in their Windows-1252 places.
constexpr std::array<const char *, 17> kWindows1252Labels = {
    "ansi_x3.4-1968", "ascii",           "cp1252",     "cp819",     "csisolatin1",
    "ibm819",         "iso-8859-1",      "iso-ir-100", "iso8859-1", "iso88591",
    "iso_8859-1",     "iso_8859-1:1987", "l1",         "latin1",    "us-ascii",
    "windows-1252",   "x-cp1252"};

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

// The declaration is ASCII in every encoding the service may use, so its first bytes read as
// Latin-1 whatever follows.
QByteArray declaredXmlEncoding(const QByteArray &body) {
    static const QRegularExpression declaration(QStringLiteral(
        R"(^(?:\x{EF}\x{BB}\x{BF})?\s*<\?xml\s[^>]*?\bencoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])"));
    constexpr qsizetype kDeclarationReach = 256;
    const QRegularExpressionMatch match =
        declaration.match(QString::fromLatin1(body.left(kDeclarationReach)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

bool isWindows1252(const QByteArray &label) {
    return std::find(kWindows1252Labels.begin(), kWindows1252Labels.end(), label) !=
           kWindows1252Labels.end();
}

} // namespace

QString ResponseText(const QByteArray &contentType, const QByteArray &body) {
    QByteArray charset = declaredCharset(contentType).toLower();
    if (charset.isEmpty())
        charset = declaredXmlEncoding(body).toLower();
    // Hand-decoded: Qt reaches this code page only through ICU, which some builds lack.
    if (isWindows1252(charset))
        return Windows1252::decode(body);
    QStringDecoder decoder(charset.constData());
    if (charset.isEmpty() || !decoder.isValid())
        return QString::fromUtf8(body);
    return decoder.decode(body);
}
