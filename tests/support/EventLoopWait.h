#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <optional>

// Runs the event loop until done() holds or timeoutMs have passed; false on time-out. It wakes
// as soon as events come, so a benchmark measures the code, not a polling interval
// (QTest::qWaitFor sleeps between its looks, and benchmarks link no Qt Test).
template<typename Condition> bool runEventsUntil(Condition done, int timeoutMs = 120000) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake; // lets the wait look at the clock even when nothing happens
    wake.start(50);
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Starts an asynchronous call with a callback and waits for its answer; Result's empty value when
// none came within timeoutMs.
template<typename Result, typename Start> Result answerOf(Start start, int timeoutMs = 120000) {
    std::optional<Result> answer;
    start([&answer](const Result &given) { answer = given; });
    runEventsUntil([&answer] { return answer.has_value(); }, timeoutMs);
    return answer.value_or(Result{});
}
