#include "ScriptedService.h"

#include "ChatFakes.h"
#include "app/Windows1252.h"

#include <QRegularExpression>

namespace {

constexpr auto kSoapEndpoints = R"(/RovizeveReravav/sync_connector/ws_chat_(due|tre)\.php)";
constexpr size_t kHugeBodyBytes = 50 * 1024 * 1024;
constexpr size_t kChunkBytes = 64 * 1024;

QString element(const QString &text, const QString &pattern) {
    return QRegularExpression(pattern).match(text).captured(1);
}
QString parameter(const QString &envelope, const QString &name) {
    return element(envelope, QStringLiteral("<%1 [^>]*>([^<]*)</%1>").arg(name));
}

QString ordinaryAnswer(const QString &operation) {
    if (operation == QLatin1String("getticket"))
        return Answers::ticket(QStringLiteral("OK"), QString::number(ScriptedService::kTicketId));
    if (operation == QLatin1String("getchat"))
        return Answers::noMessage();
    return Answers::status(operation, QStringLiteral("OK"));
}

// A message the client must never show: it only ever arrives broken.
std::string brokenMessage(qint64 id) {
    Answers::Message message;
    message.id = id;
    message.idOperatore = 7;
    message.testo = QStringLiteral("mai visto");
    return Answers::message(message).toStdString();
}

// The start of a message answer whose text never ends.
const std::string &endlessHead() {
    static const std::string head = [] {
        const QString marker = QStringLiteral("<testo>");
        const QString whole = Answers::envelope(
            QStringLiteral("getchat"), QStringLiteral("<status>OK</status><id>96</id>") + marker);
        return whole.left(whole.indexOf(marker) + marker.size()).toStdString();
    }();
    return head;
}

// Writes the endless answer from offset on, up to length bytes; false once the client is gone.
bool writeEndless(size_t offset, size_t length, httplib::DataSink &sink) {
    const std::string &head = endlessHead();
    if (offset < head.size())
        return sink.write(head.data() + offset, std::min(length, head.size() - offset));
    static const std::string filler(kChunkBytes, 'a');
    return sink.write(filler.data(), std::min(length, filler.size()));
}

} // namespace

ScriptedService::ScriptedService() {
    start(0);
}

ScriptedService::~ScriptedService() {
    releaseHeldAnswers();
}

bool ScriptedService::start(int port) {
    m_server = std::make_unique<LoopbackServer>();
    m_server->server().Post(kSoapEndpoints,
                            [this](const httplib::Request &request, httplib::Response &response) {
                                answer(request.body, response);
                            });
    m_server->start(port);
    m_port = m_server->port();
    return m_port > 0;
}

void ScriptedService::script(const QString &operation, const QList<Reply> &replies) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Reply &reply : replies)
        m_scripts[operation].push_back(reply);
}

void ScriptedService::goAway() {
    releaseHeldAnswers();
    m_server.reset();
}

bool ScriptedService::comeBack() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holdReleased = false;
    }
    return start(m_port);
}

QString ScriptedService::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QStringList ScriptedService::requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void ScriptedService::releaseHeldAnswers() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holdReleased = true;
    }
    m_released.notify_all();
}

ScriptedService::Reply ScriptedService::nextReply(const QString &operation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::deque<Reply> &replies = m_scripts[operation];
    if (replies.empty())
        return {Behaviour::Answer, ordinaryAnswer(operation)};
    Reply reply = replies.front();
    replies.pop_front();
    return reply;
}

void ScriptedService::holdUntilReleased() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_released.wait(lock, [this] { return m_holdReleased; });
}

void ScriptedService::answer(const std::string &body, httplib::Response &response) {
    const QString envelope = QString::fromStdString(body);
    const QString operation = element(envelope, QStringLiteral("<chat:(\\w+) "));
    QString line = operation;
    if (operation == QLatin1String("getchat"))
        line += QStringLiteral(" letto=") + parameter(envelope, QStringLiteral("letto"));
    else if (operation == QLatin1String("setreadchat"))
        line += QLatin1Char(' ') + parameter(envelope, QStringLiteral("id"));
    else if (operation == QLatin1String("setchat"))
        line += QLatin1Char(' ') + Windows1252::decode(QByteArray::fromBase64(
                                       parameter(envelope, QStringLiteral("testo")).toLatin1()));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests << line;
    }

    const Reply reply = nextReply(operation);
    switch (reply.behaviour) {
    case Behaviour::Answer:
        response.set_content(reply.body.toStdString(), "text/xml; charset=utf-8");
        break;
    case Behaviour::NotXml:
        response.set_content("Servizio momentaneamente non disponibile", "text/plain");
        break;
    case Behaviour::ServerErrorPage:
        response.status = 500;
        response.set_content("<html><head><title>500 Internal Server Error</title></head><body>"
                             "<h1>Internal Server Error</h1><p>Riprovare pi&ugrave; tardi<br>"
                             "</body></html>",
                             "text/html");
        break;
    case Behaviour::SoapFault:
        response.status = 500;
        response.set_content(
            Answers::envelope(QStringLiteral("getchat"), QString())
                .replace(QStringLiteral("<ns1:getchatResponse></ns1:getchatResponse>"),
                         QStringLiteral("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode>"
                                        "<faultstring>database down</faultstring>"
                                        "</SOAP-ENV:Fault>"))
                .toStdString(),
            "text/xml");
        break;
    case Behaviour::TruncatedXml: {
        const std::string whole = brokenMessage(99);
        response.set_content(whole.substr(0, whole.find("</id>")), "text/xml");
        break;
    }
    case Behaviour::HugeBody:
        response.set_content_provider(kHugeBodyBytes, "text/xml", writeEndless);
        break;
    case Behaviour::HugeBodyWithoutLength:
        response.set_chunked_content_provider("text/xml",
                                              [](size_t offset, httplib::DataSink &sink) {
                                                  if (offset >= kHugeBodyBytes) {
                                                      sink.done();
                                                      return true;
                                                  }
                                                  return writeEndless(offset, kChunkBytes, sink);
                                              });
        break;
    case Behaviour::NeverAnswers:
        holdUntilReleased();
        response.set_content(brokenMessage(98), "text/xml");
        break;
    case Behaviour::ClosesMidAnswer: {
        const std::string whole = brokenMessage(97);
        response.set_content_provider(whole.size(), "text/xml",
                                      [whole](size_t offset, size_t, httplib::DataSink &sink) {
                                          // Half the promised bytes, then the connection drops.
                                          if (offset == 0)
                                              sink.write(whole.data(), whole.size() / 2);
                                          return false;
                                      });
        break;
    }
    }
}
