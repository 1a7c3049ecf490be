#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Asks the network whether an address answers; true for the status text "OK".
using LinkProbe = std::function<bool(const QUrl &address)>;

// Whether a bubble's whole text is a web address that a click opens (LinkTarget): by its
// prefix, or because the probe says so.
bool IsLink(const QString &text, const LinkProbe &probe);
