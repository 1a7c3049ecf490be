#pragma once

#include <QColor>
#include <QString>
#include <QtGlobal>

// One delivered message as the window shows it, decided whole by the chat session.
struct ChatMessage {
    QString time; // "HH:mm"
    qint32 idOperatore = 0;
    // The text, or the picture's file name inside the picture folder.
    QString text;
    bool isPicture = false;
    bool isLink = false;
    QColor backColor = Qt::white;
    QColor foreColor = Qt::black;
};
