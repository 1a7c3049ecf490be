#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// What the chat session needs of the maker's service; tests stand a recording fake in its place.
// Every call answers through its callback, later, from the event loop.
class ChatService {
public:
    using Answer = std::function<void(const QString &answer)>;
    using Outcome = std::function<void(bool succeeded)>;
    using Progress = std::function<void(qint64 sent, qint64 total)>;

    virtual ~ChatService() = default;

    // The raw answer to one SOAP envelope, the empty text when there is none.
    virtual void post(const QString &endpoint, const QString &envelope, Answer done) = 0;
    // Fetches an operator's picture into path; succeeded when the file was stored.
    virtual void downloadPicture(const QString &fileName, const QString &path, Outcome done) = 0;
    // Sends a local file to the service's file endpoint; succeeded when the service took it.
    // progress follows the bytes as they go.
    virtual void uploadFile(const QString &path, Progress progress, Outcome done) = 0;
    // Succeeded when a GET of address answers with the status text "OK".
    virtual void probeLink(const QUrl &address, Outcome done) = 0;
};
