#pragma once

#include <QString>

// A text the customer sends, as the service's code page (Windows-1252) can carry it.
namespace OutgoingText {

// Composed (NFC): an "e" followed by a combining accent goes out as one "é".
QString normalized(const QString &text);
// The characters of text that Windows-1252 cannot carry, each once, in their order, separated
// by spaces; empty when all of it goes out as typed.
QString unsendable(const QString &text);
// The box that tells the customer which characters stop the message.
QString warningFor(const QString &unsendableCharacters);

} // namespace OutgoingText
