#pragma once

#include <QString>
#include <QUrl>

// Whether a bubble's whole text is a web address that a click opens (LinkTarget): by its
// prefix, or because a GET of the address answers with the status text "OK".
struct LinkCheck {
    bool isLink = false;
    // Valid when only the network can tell: the text is a link if this address answers "OK".
    QUrl probe;
};

LinkCheck IsLink(const QString &text);
