#include "FuzzText.h"
#include "bubble/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QString text = FuzzText::takeRemaining(input);
    const QString plain = HtmlToText(text);

    // Tags only ever shrink the text, and "<br>" becomes the shorter CR LF.
    if (plain.size() > text.size())
        __builtin_trap();
    if (!text.contains(QLatin1Char('<')) && plain != text)
        __builtin_trap();
    // A "<" left in the result is one without ">" after it: the rest of the text, unchanged.
    const qsizetype firstOpen = plain.indexOf(QLatin1Char('<'));
    if (firstOpen >= 0 && plain.indexOf(QLatin1Char('>'), firstOpen) >= 0)
        __builtin_trap();
    return 0;
}
