#include "ChatText.h"

namespace {

// The single UTF-16 units XML 1.0 allows in text; surrogate pairs are checked apart.
bool isXmlCharacter(char16_t code) {
    return code == 0x9 || (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD);
}

} // namespace

namespace ChatText {

QString toWireText(const QString &plain) {
    QString wire;
    wire.reserve(plain.size());
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const QChar c = plain.at(i);
        if (c == u'\r' || c == u'\n') {
            wire += kLineBreak;
            if (c == u'\r' && i + 1 < plain.size() && plain.at(i + 1) == u'\n')
                ++i;
        } else if (c.isHighSurrogate() && i + 1 < plain.size() &&
                   plain.at(i + 1).isLowSurrogate()) {
            wire += c;
            wire += plain.at(++i);
        } else if (!c.isSurrogate() && isXmlCharacter(c.unicode())) {
            wire += c;
        }
    }
    return wire;
}

bool fitsMessage(const QString &wire) {
    return wire.toUtf8().size() <= kMaxBytes;
}

} // namespace ChatText
