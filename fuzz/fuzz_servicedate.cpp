#include "FuzzText.h"
#include "session/ServiceDate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::optional<QDateTime> date = ServiceDate::parse(FuzzText::takeRemaining(input));
    // The session formats the time of every date it accepts.
    if (date && (!date->isValid() || date->toString(QStringLiteral("HH:mm")).size() != 5))
        __builtin_trap();
    return 0;
}
