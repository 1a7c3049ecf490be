#pragma once

#include "chat/ChatView.h"
#include "chat/PollTimer.h"

// A window and timer that take every request and do nothing, so that a benchmark measures the
// session and the network alone. The view counts the bubbles it was asked for.
class NullChatView : public ChatView {
public:
    int bubbles = 0;

    bool isShown() const override { return false; }
    QString inputText() const override { return {}; }
    void clearInput() override {}
    void showWindow() override {}
    void showForUser() override {}
    void hideWindow() override {}
    void showAsForMessage() override {}
    void beep() override {}
    void setCanvasVisible(bool) override {}
    void addMessage(const ChatMessage &) override { ++bubbles; }
    void showWarning(const QString &) override {}
    bool askYesNo(const QString &) override { return false; }
    void waitForScreenToSettle() override {}
    bool captureScreen(const QString &) override { return false; }
    bool startProgram(const QString &) override { return false; }
    bool programRunning() const override { return false; }
    void endProcess() override {}
};

class NullPollTimer : public PollTimer {
public:
    void setInterval(int) override {}
    void enable() override {}
};
