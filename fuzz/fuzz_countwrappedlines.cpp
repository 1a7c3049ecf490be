#include "FuzzText.h"
#include "bubble/TextHelpers.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qsizetype kMaxMeasuredLength = 65000;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const qint32 maxWidth = input.ConsumeIntegral<qint32>();
    const QString text = FuzzText::takeRemaining(input);
    const qint16 lines = CountWrappedLines(maxWidth, text);

    if (lines < 0)
        __builtin_trap();
    if (text.size() > kMaxMeasuredLength && lines != 0)
        __builtin_trap();
    // Every carriage return starts a hard line, whatever the width.
    const qsizetype hardBreaks =
        std::min<qsizetype>(text.count(QLatin1Char('\r')), std::numeric_limits<qint16>::max());
    if (text.size() <= kMaxMeasuredLength && lines < hardBreaks)
        __builtin_trap();
    return 0;
}
