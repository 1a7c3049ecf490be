#pragma once

#include <QUrl>

// Whether a GET of address answers with the status text "OK", the one sign that a word the
// operator sent is a web address. Blocks the caller for the exchange.
bool ProbeLink(const QUrl &address);
