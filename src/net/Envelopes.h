#pragma once

#include <QString>

// The request envelopes of the chat service, byte for byte as the service expects them.
// Inserted texts are XML-escaped; digits and Base64 come out unchanged.
QString BuildGetTicket(const QString &vatNumber);
QString BuildGetChat(qint32 idTicket, qint32 lastMessageId, qint16 typing,
                     const QString &vatNumber);
QString BuildSetReadChat(qint32 messageId);
// The text travels as Base64 of its Windows-1252 bytes; attach marks it as an uploaded file name.
QString BuildSetChat(const QString &text, qint32 idTicket, bool attach);
