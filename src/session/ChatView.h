#pragma once

#include "bubble/ChatMessage.h"

#include <QString>

#include <functional>

// What the chat session asks of its window. Nothing here waits for the customer: boxes answer
// through their callbacks, and the session goes on meanwhile.
class ChatView {
public:
    virtual ~ChatView() = default;

    virtual bool isShown() const = 0;
    virtual QString inputText() const = 0;
    virtual void setInputText(const QString &text) = 0;

    // Shown for a message: no focus taken.
    virtual void showWindow() = 0;
    // Shown because the customer asked for it: activated, the input box ready for typing.
    virtual void showForUser() = 0;
    virtual void hideWindow() = 0;
    // Shown without taking the focus, put back in the bottom right corner, on top.
    virtual void showAsForMessage() = 0;
    virtual void beep() = 0;

    // Puts the message's bubble under the last one, grows the list and scrolls to its end.
    virtual void addMessage(const ChatMessage &message) = 0;

    // How many of the customer's requests (texts, screenshots, pictures) are not done yet, the
    // one under way included; 0 once all are done.
    virtual void showPendingRequests(int count) = 0;
    // A picture on its way to the service: bytes sent of total; 0 of 0 once it is over.
    virtual void showUploadProgress(qint64 sent, qint64 total) = 0;

    virtual void showWarning(const QString &text) = 0;
    virtual void askYesNo(const QString &question, std::function<void(bool yes)> answer) = 0;
    // Lets the hidden window leave the screen before a capture.
    virtual void waitForScreenToSettle(std::function<void()> then) = 0;
    // Writes a JPEG of the primary screen; written is false when no file was written.
    virtual void captureScreen(const QString &path, std::function<void(bool written)> done) = 0;
    // False when the program could not be started.
    virtual bool startProgram(const QString &path) = 0;
    // Whether the program started last is still running.
    virtual bool programRunning() const = 0;

    // The customer's open chat ticket (0: none) whenever it changes, for the tray's menu.
    virtual void ticketChanged(qint32 idTicket) = 0;
    // A balloon tip at the tray icon, shown even while the window is.
    virtual void showBalloon(const QString &text) = 0;
};
