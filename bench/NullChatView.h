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
    void hideWindow() override {}
    void showAsForMessage() override {}
    void beep() override {}
    void setCanvasVisible(bool) override {}
    void showBubble(int) override { ++bubbles; }
    void setBubbleData(int, const QString &) override {}
    void setBubbleIdOperatore(int, qint32) override {}
    void setBubbleTesto(int, const QString &) override {}
    void setBubbleImmagineAttach(int, const QString &) override {}
    void setBubbleBackColor(int, quint32) override {}
    void setBubbleForeColor(int, quint32) override {}
    void growList(int) override {}
    void showWarning(const QString &) override {}
    bool askYesNo(const QString &) override { return false; }
    void waitForScreenToSettle() override {}
    bool captureScreen(const QString &) override { return false; }
    void startProgram(const QString &) override {}
    void endProcess() override {}
};

class NullPollTimer : public PollTimer {
public:
    void setInterval(int) override {}
    void enable() override {}
};
