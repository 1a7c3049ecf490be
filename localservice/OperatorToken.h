#pragma once

#include <QByteArray>

// The secret that makes a caller the operator: in the console's address and on every request
// to the operator API.
namespace OperatorToken {

// 32 bytes from the system's random source, as URL-safe Base64.
QByteArray create();
// 16 to 256 characters that travel unchanged in a header and in a URL fragment.
bool isWellFormed(const QByteArray &token);
// Compares every byte whatever the first difference, so the time taken tells a guesser nothing.
bool matches(const QByteArray &expected, const QByteArray &given);

} // namespace OperatorToken
