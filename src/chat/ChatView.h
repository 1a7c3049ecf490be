#pragma once

#include <QString>
#include <QtGlobal>

// What the chat session asks of its window. Bubbles are addressed by their index in the list.
class ChatView {
public:
    virtual ~ChatView() = default;

    virtual bool isShown() const = 0;
    virtual QString inputText() const = 0;
    virtual void clearInput() = 0;

    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    // Shown without taking the focus, put back in the bottom right corner, on top.
    virtual void showAsForMessage() = 0;
    virtual void beep() = 0;

    // The canvas stays hidden while a run of messages is added.
    virtual void setCanvasVisible(bool visible) = 0;
    // Creates bubble index (> 0) under the previous one, or reuses bubble 0; makes it visible.
    virtual void showBubble(int index) = 0;
    virtual void setBubbleData(int index, const QString &time) = 0;
    virtual void setBubbleIdOperatore(int index, qint32 idOperatore) = 0;
    virtual void setBubbleTesto(int index, const QString &text) = 0;
    virtual void setBubbleImmagineAttach(int index, const QString &fileName) = 0;
    virtual void setBubbleBackColor(int index, quint32 color) = 0;
    virtual void setBubbleForeColor(int index, quint32 color) = 0;
    // Grows the list to the bottom of bubble index and scrolls to its end.
    virtual void growList(int index) = 0;

    virtual void showWarning(const QString &text) = 0;
    virtual bool askYesNo(const QString &question) = 0;
    // Lets the hidden window leave the screen before a capture.
    virtual void waitForScreenToSettle() = 0;
    // Writes a JPEG of the primary screen; false when no file was written.
    virtual bool captureScreen(const QString &path) = 0;
    virtual void startProgram(const QString &path) = 0;
    virtual void endProcess() = 0;
};
