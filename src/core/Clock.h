#pragma once

#include <QDateTime>

// The one source of "now" for the client, so that tests can move time by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    static Clock &system();
};
