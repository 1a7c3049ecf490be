#pragma once

#include "bubble/ChatMessage.h"

#include <QString>

// What the chat session asks of its window.
class ChatView {
public:
    virtual ~ChatView() = default;

    virtual bool isShown() const = 0;
    virtual QString inputText() const = 0;
    virtual void clearInput() = 0;

    // Shown for a message: no focus taken.
    virtual void showWindow() = 0;
    // Shown because the customer asked for it: activated, the input box ready for typing.
    virtual void showForUser() = 0;
    virtual void hideWindow() = 0;
    // Shown without taking the focus, put back in the bottom right corner, on top.
    virtual void showAsForMessage() = 0;
    virtual void beep() = 0;

    // The canvas stays hidden while a run of messages is added.
    virtual void setCanvasVisible(bool visible) = 0;
    // Puts the message's bubble under the last one, grows the list and scrolls to its end.
    virtual void addMessage(const ChatMessage &message) = 0;

    virtual void showWarning(const QString &text) = 0;
    virtual bool askYesNo(const QString &question) = 0;
    // Lets the hidden window leave the screen before a capture.
    virtual void waitForScreenToSettle() = 0;
    // Writes a JPEG of the primary screen; false when no file was written.
    virtual bool captureScreen(const QString &path) = 0;
    // False when the program could not be started.
    virtual bool startProgram(const QString &path) = 0;
    // Whether the program started last is still running.
    virtual bool programRunning() const = 0;
    virtual void endProcess() = 0;
};
