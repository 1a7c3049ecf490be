#include "ChatServer.h"

#include "PictureFolder.h"
#include "UploadForm.h"

#include "core/ServiceProtocol.h"

#include <QDateTime>
#include <QFile>

namespace {

const std::string kChatDuePath = std::string(ServiceProtocol::kEndpointFolder) +
                                 ServiceProtocol::kEndpointDue + ServiceProtocol::kEndpointSuffix;
const std::string kChatTrePath = std::string(ServiceProtocol::kEndpointFolder) +
                                 ServiceProtocol::kEndpointTre + ServiceProtocol::kEndpointSuffix;
constexpr auto kUploadPath = ServiceProtocol::kUploadPath;
constexpr auto kDownloadPath = ServiceProtocol::kDownloadPath;
constexpr auto kConsolePath = "/operator";
constexpr auto kConsoleResource = ":/operator.html";
constexpr auto kXmlType = "text/xml; charset=utf-8";
constexpr auto kTextType = "text/plain; charset=utf-8";

void replyText(httplib::Response &response, int status, const char *text) {
    response.status = status;
    response.set_content(text, kTextType);
}

// The body up to limit bytes; nothing when it is longer or the connection broke, and in the
// latter case nobody reads the answer.
std::optional<std::string> readBody(const httplib::ContentReader &content, size_t limit) {
    std::string body;
    const bool complete = content([&body, limit](const char *data, size_t length) {
        body.append(data, length);
        return body.size() <= limit;
    });
    return complete ? std::optional(std::move(body)) : std::nullopt;
}

} // namespace

ChatServer::ChatServer(ChatStore &store, const PictureFolder &pictures,
                       const QByteArray &operatorToken)
    : m_pictures(pictures)
    , m_operatorToken(operatorToken)
    , m_protocol(store)
    , m_operatorApi(store, pictures) {
    using httplib::Request;
    using httplib::Response;
    m_server.set_payload_max_length(kMaxRequestBytes);
    // httplib's default adds SO_REUSEPORT, which lets a second service share a busy port
    // silently; without it a busy port is refused and the caller can pick another.
    m_server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    m_server.set_pre_routing_handler([this](const Request &req, Response &res) {
        const auto refusal = m_access->check(req);
        if (!refusal)
            return httplib::Server::HandlerResponse::Unhandled;
        OperatorApi::replyError(res, refusal->status, refusal->reason);
        if (refusal->status == 401)
            res.set_header("WWW-Authenticate", "Bearer");
        // The body, if any, stays unread: the client must not send more on this connection.
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
    });
    // Through a content reader, so that an oversized call is cut short rather than held whole.
    m_server.Post(kChatDuePath,
                  [this](const Request &, Response &res, const httplib::ContentReader &content) {
                      answerSoap(ChatProtocol::Endpoint::Due, content, res);
                  });
    m_server.Post(kChatTrePath,
                  [this](const Request &, Response &res, const httplib::ContentReader &content) {
                      answerSoap(ChatProtocol::Endpoint::Tre, content, res);
                  });
    // Read through a content reader: httplib refuses form bodies over 8 KiB on the plain path,
    // and a screenshot is far larger.
    m_server.Post(kUploadPath,
                  [this](const Request &req, Response &res, const httplib::ContentReader &content) {
                      receiveUpload(req, content, res);
                  });
    m_server.Get(kDownloadPath,
                 [this](const Request &req, Response &res) { sendPicture(req, res); });
    m_server.Get("/", [](const Request &, Response &res) { res.set_redirect(kConsolePath); });
    m_server.Get(kConsolePath, [](const Request &, Response &res) {
        QFile page(QString::fromLatin1(kConsoleResource));
        page.open(QIODevice::ReadOnly);
        res.set_content(page.readAll().toStdString(), "text/html; charset=utf-8");
    });
    m_operatorApi.addRoutes(m_server);
}

int ChatServer::bind(const QString &host, int port) {
    const std::string address = host.toStdString();
    const int bound = port == 0 ? m_server.bind_to_any_port(address)
                                : (m_server.bind_to_port(address, port) ? port : -1);
    if (bound >= 0)
        m_access.emplace(ListenAddress(host, bound), m_operatorToken);
    return bound;
}

bool ChatServer::listen() {
    return m_server.listen_after_bind();
}

void ChatServer::stop() {
    m_server.stop();
}

void ChatServer::answerSoap(ChatProtocol::Endpoint endpoint, const httplib::ContentReader &content,
                            httplib::Response &response) {
    const auto body = readBody(content, kMaxSoapBytes);
    const auto soap = body ? SoapRequest::parse(QByteArray::fromStdString(*body)) : std::nullopt;
    const auto answer =
        soap ? m_protocol.answer(endpoint, *soap, QDateTime::currentDateTime())
             : ChatProtocol::Answer{true, QStringLiteral("Not a SOAP 1.1 request"), {}};
    if (answer.isFault) {
        response.status = 500;
        response.set_content(
            SoapResponse::fault(QStringLiteral("Client"), answer.faultString).toStdString(),
            kXmlType);
        return;
    }
    response.set_content(SoapResponse::result(soap->operation, answer.fields).toStdString(),
                         kXmlType);
}

void ChatServer::receiveUpload(const httplib::Request &request,
                               const httplib::ContentReader &content, httplib::Response &response) {
    const auto body = readBody(content, kMaxRequestBytes);
    if (!body)
        return replyText(response, 413, "File troppo grande");
    const QString name = QString::fromStdString(request.get_param_value("filename"));
    if (!PictureFolder::isPlainFileName(name))
        return replyText(response, 400, "Nome file non valido");
    // The console shows uploads from its own origin: only pictures may come in.
    if (!PictureFolder::hasPictureSuffix(name))
        return replyText(response, 415, "Solo immagini JPEG, PNG, GIF o BMP");
    const auto bytes = UploadForm::decodeDocument(QByteArray::fromStdString(*body));
    if (!bytes)
        return replyText(response, 400, "Errore file");
    switch (m_pictures.store(name, *bytes)) {
    case PictureFolder::Stored::Yes:
        return replyText(response, 200, "OK");
    case PictureFolder::Stored::NameTaken:
        return replyText(response, 409, "File già presente");
    case PictureFolder::Stored::Failed:
        break;
    }
    replyText(response, 500, "Errore file");
}

void ChatServer::sendPicture(const httplib::Request &request, httplib::Response &response) {
    // Whatever a file holds, a browser neither guesses it a page nor runs it on this origin.
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Content-Security-Policy", "sandbox");
    const QString name = QString::fromStdString(request.get_param_value("nomefile"));
    if (!PictureFolder::isPlainFileName(name))
        return replyText(response, 400, "Nome file non valido");
    const auto bytes = m_pictures.load(name);
    if (!bytes)
        return replyText(response, 404, "File non trovato");
    response.set_content(bytes->toStdString(), PictureFolder::contentTypeFor(name).constData());
}
