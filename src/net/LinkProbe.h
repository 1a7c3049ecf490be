#pragma once

#include <QUrl>

#include <functional>

class HttpExchange;

// Whether a GET of address answers with the status text "OK", the one sign that a word the
// operator sent is a web address. Over HTTP/1.1, no redirect followed, done as soon as the
// status line and headers arrive, and never longer than 5 s.
HttpExchange *ProbeLink(const QUrl &address, std::function<void(bool answersOk)> done);
