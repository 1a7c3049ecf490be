#pragma once

#include <deque>
#include <functional>

// Runs the session's operations one after another, so that their exchanges keep the order in
// which they were asked for and never overlap: each starts once the one before it has called
// its done. Operations may finish at once or later, from the event loop.
class OperationQueue {
public:
    using Done = std::function<void()>;
    using Operation = std::function<void(Done done)>;

    void enqueue(Operation operation);
    bool busy() const { return m_running; }

private:
    void runWaiting();

    std::deque<Operation> m_waiting;
    bool m_running = false;
    // An operation that finishes at once hands over in the loop, not one call deeper.
    bool m_handingOver = false;
};
