#pragma once

#include <QString>
#include <QUrl>

// What the chat session needs of the maker's service; tests stand a recording fake in its place.
class ChatService {
public:
    virtual ~ChatService() = default;

    // The raw answer to one SOAP envelope, the empty text when there is none.
    virtual QString post(const QString &endpoint, const QString &envelope) = 0;
    // Fetches an operator's picture into path; true when the file was stored.
    virtual bool downloadPicture(const QString &fileName, const QString &path) = 0;
    // Sends a local file to the service's file endpoint; true when the service took it.
    virtual bool uploadFile(const QString &path) = 0;
    // True when a GET of address answers with the status text "OK".
    virtual bool probeLink(const QUrl &address) = 0;
    // True while any exchange runs, so that a timer tick never starts inside another one.
    virtual bool exchangeInProgress() const = 0;
};
