#pragma once

#include "AccessRules.h"
#include "ChatProtocol.h"
#include "OperatorApi.h"

#include <httplib.h>

#include <QByteArray>
#include <QString>

#include <optional>

class ChatStore;
class PictureFolder;

// The HTTP face of the service: the two SOAP endpoints, picture upload and download, the
// operator console and its JSON API, every request first past the AccessRules.
class ChatServer {
public:
    static constexpr size_t kMaxRequestBytes = 20 * 1024 * 1024;
    // A SOAP call of the client is a few kilobytes; a long message text stays far below.
    static constexpr size_t kMaxSoapBytes = 1024 * 1024;

    ChatServer(ChatStore &store, const PictureFolder &pictures, const QByteArray &operatorToken);

    // The port bound (the system's choice for port 0), or -1. Requests must name this address.
    int bind(const QString &host, int port);
    // Serves until stop(); false when the server could not run.
    bool listen();
    void stop();

private:
    void answerSoap(ChatProtocol::Endpoint endpoint, const httplib::ContentReader &content,
                    httplib::Response &response);
    void receiveUpload(const httplib::Request &request, const httplib::ContentReader &content,
                       httplib::Response &response);
    void sendPicture(const httplib::Request &request, httplib::Response &response);

    const PictureFolder &m_pictures;
    const QByteArray m_operatorToken;
    std::optional<AccessRules> m_access; // from bind() on
    ChatProtocol m_protocol;
    OperatorApi m_operatorApi;
    httplib::Server m_server;
};
