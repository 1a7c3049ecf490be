#include "session/OperationQueue.h"

#include <memory>
#include <utility>

void OperationQueue::enqueue(Operation operation) {
    m_waiting.push_back(std::move(operation));
    runWaiting();
}

void OperationQueue::runWaiting() {
    if (m_handingOver)
        return;
    m_handingOver = true;
    while (!m_running && !m_waiting.empty()) {
        Operation operation = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_running = true;
        // A second call of the same done must not start a second operation.
        operation([this, finished = std::make_shared<bool>(false)] {
            if (std::exchange(*finished, true))
                return;
            m_running = false;
            runWaiting();
        });
    }
    m_handingOver = false;
}
