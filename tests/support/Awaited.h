#pragma once

#include <QTest>

#include <optional>

// Starts an asynchronous call with a callback and runs the event loop until the callback has
// answered, or for timeoutMs; the answer, or Result's empty value when none came.
template<typename Result, typename Start> Result awaited(Start start, int timeoutMs = 60000) {
    std::optional<Result> answer;
    start([&answer](const Result &given) { answer = given; });
    [[maybe_unused]] const bool answered =
        QTest::qWaitFor([&answer] { return answer.has_value(); }, timeoutMs);
    return answer.value_or(Result{});
}
