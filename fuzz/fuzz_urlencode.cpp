#include "FuzzText.h"
#include "core/Windows1252.h"
#include "net/UrlEncode.h"

namespace {

bool isAsciiAlphanumeric(QChar c) {
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}
bool isUpperHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}
// Characters without a Windows-1252 code pass through as they are.
bool outsideCodePage(QChar c) {
    return c != u'?' && Windows1252::codeOf(c.unicode()) == '?';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QString text = FuzzText::takeRemaining(input);
    const QString encoded = UrlEncode(text);

    bool withinCodePage = true;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const QChar c = encoded[i];
        if (c == u'%') {
            if (i + 2 >= encoded.size())
                __builtin_trap();
            if (!isUpperHexDigit(encoded[i + 1]) || !isUpperHexDigit(encoded[i + 2]))
                __builtin_trap();
            i += 2;
        } else if (!isAsciiAlphanumeric(c) && c != u'+') {
            if (!outsideCodePage(c))
                __builtin_trap();
            withinCodePage = false;
        }
    }

    // Inside the code page the encoding is reversible, except for the controls 1 and 2, which
    // are sent like "%" and "+".
    const bool sharedCodes = text.contains(QChar(1)) || text.contains(QChar(2));
    if (withinCodePage && !sharedCodes) {
        QByteArray form = encoded.toLatin1();
        form.replace('+', ' ');
        if (Windows1252::decode(QByteArray::fromPercentEncoding(form)) != text)
            __builtin_trap();
    }
    return 0;
}
