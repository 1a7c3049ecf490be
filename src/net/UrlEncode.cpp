#include "net/UrlEncode.h"

#include "core/Windows1252.h"

#include <utility>

namespace {

// Qt leaves these unreserved characters alone; the form encoding sends them encoded.
constexpr std::pair<char, const char *> kUnreserved[] = {
    {'-', "%2D"}, {'.', "%2E"}, {'_', "%5F"}, {'~', "%7E"}};

bool inCodePage(QChar c) {
    return c == u'?' || Windows1252::codeOf(c.unicode()) != '?';
}

} // namespace

// Qt's encoder does the work; rewrites of what the input holds then give the form's own rules
// (Base64 lines need none). Every "%" of the output starts a triplet, so a triplet is all a
// search for "%01" can find, and a plain "-" can only be an input's "-".
QByteArray UrlEncode(const QByteArray &codes) {
    QByteArray out = codes.toPercentEncoding();
    for (const auto &[plain, encoded] : kUnreserved)
        if (codes.contains(plain))
            out.replace(plain, encoded);
    if (codes.contains(' '))
        out.replace("%20", "+");
    // Codes 1 and 2 share the encodings of "%" and "+", as the service has always seen.
    if (codes.contains('\x01'))
        out.replace("%01", "%25");
    if (codes.contains('\x02'))
        out.replace("%02", "%2B");
    return out;
}

QString UrlEncode(const QString &text) {
    QString out;
    qsizetype runStart = 0;
    const auto encodeRun = [&](qsizetype end) {
        if (end > runStart)
            out +=
                QLatin1String(UrlEncode(Windows1252::encode(text.mid(runStart, end - runStart))));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (inCodePage(text[i]))
            continue;
        encodeRun(i);
        out += text[i];
        runStart = i + 1;
    }
    encodeRun(text.size());
    return out;
}
