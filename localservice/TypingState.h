#pragma once

#include <QtGlobal>

// What the customer's client last said about typing, and when; the console shows it only while
// it is fresh, since a client that stops polling never sends the flag back to 0.
struct TypingState {
    static constexpr qint64 kFreshForMs = 5000;

    bool typing = false;
    qint64 reportedAtMs = 0; // milliseconds since the epoch

    bool isTypingAt(qint64 nowMs) const { return typing && nowMs - reportedAtMs <= kFreshForMs; }
};
