#pragma once

// The polling timer as the chat session drives it.
class PollTimer {
public:
    virtual ~PollTimer() = default;

    virtual void setInterval(int milliseconds) = 0;
    // Starts the timer unless it runs already.
    virtual void enable() = 0;
};
