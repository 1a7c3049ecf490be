#include "FuzzText.h"
#include "core/Numbers.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Decimal and thousands separators differ between these.
const std::array<QLocale::Language, 4> kLocales = {QLocale::C, QLocale::Italian, QLocale::English,
                                                   QLocale::German};

bool hasDigit(const QString &text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

template<typename Int> void checkRounding(double number, std::optional<Int> rounded) {
    if (rounded && std::fabs(number - double(*rounded)) > 0.5)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    QLocale::setDefault(QLocale(kLocales[input.ConsumeIntegralInRange<size_t>(0, 3)]));
    const QString text = FuzzText::takeRemaining(input);
    const double number = ToNumber(QVariant(text));

    if (!std::isfinite(number))
        __builtin_trap();
    if (!hasDigit(text) && number != 0)
        __builtin_trap();
    checkRounding(number, RoundToInt32(number));
    checkRounding(number, RoundToInt16(number));
    return 0;
}
