#include "RecordingProxy.h"

#include "service/ResponseReader.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cctype>

namespace {

// Bounds a stuck service so that a fault ends the test; it measures nothing.
constexpr time_t kServiceGuardSeconds = 60;
constexpr auto kUploadPath = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php";
constexpr auto kDownloadPath = "/RovizeveReravav/KD_API/Ticket/downloadimg.php";
constexpr auto kUploadOperation = "upload";
constexpr auto kDownloadOperation = "download";
constexpr qsizetype kDescribedAnswerBytes = 200;

struct SoapCall {
    QString operation;
    QMap<QString, QString> parameters;
};

// The operation is the first element inside the envelope's Body, its parameters that element's
// children. Requests and answers alike: the service writes its own prefixes.
SoapCall soapCallOf(const QByteArray &body) {
    QXmlStreamReader xml(body);
    SoapCall call;
    bool inBody = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (!call.operation.isEmpty())
            call.parameters.insert(xml.name().toString(), xml.readElementText());
        else if (inBody)
            call.operation = xml.name().toString();
        else
            inBody = xml.name() == QLatin1String("Body");
    }
    return call;
}

// Framing, connection and encoding headers belong to each hop; the service answers plainly.
bool belongsToHop(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return name == "host" || name == "content-length" || name == "content-type" ||
           name == "connection" || name == "keep-alive" || name == "transfer-encoding" ||
           name == "accept-encoding";
}

RecordingProxy::Exchange describeRequest(const httplib::Request &request, const std::string &body) {
    const auto parameter = [&request](const char *name) {
        return QString::fromStdString(request.get_param_value(name));
    };
    RecordingProxy::Exchange exchange;
    if (request.path == kUploadPath) {
        exchange.operation = QLatin1String(kUploadOperation);
        exchange.parameters.insert(QStringLiteral("filename"), parameter("filename"));
    } else if (request.path == kDownloadPath) {
        exchange.operation = QLatin1String(kDownloadOperation);
        exchange.parameters.insert(QStringLiteral("nomefile"), parameter("nomefile"));
    } else if (const SoapCall call = soapCallOf(QByteArray::fromStdString(body));
               !call.operation.isEmpty()) {
        exchange.operation = call.operation;
        exchange.parameters = call.parameters;
    } else {
        exchange.operation = QString::fromStdString(request.method + ' ' + request.target);
    }
    return exchange;
}

} // namespace

QString RecordingProxy::Exchange::answerField(const char *name) const {
    return GetXmlValue(QString::fromUtf8(answer),
                       QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:%1Response/%2")
                           .arg(operation, QLatin1String(name)));
}

RecordingProxy::RecordingProxy(int servicePort)
    : m_servicePort(servicePort) {
    using httplib::Request;
    using httplib::Response;
    // Read through a content reader: httplib refuses form bodies over 8 KiB on the plain path.
    m_server.server().Post(
        ".*", [this](const Request &req, Response &res, const httplib::ContentReader &content) {
            std::string body;
            content([&body](const char *data, size_t length) {
                body.append(data, length);
                return true;
            });
            forward(req, body, res);
        });
    m_server.server().Get(".*",
                          [this](const Request &req, Response &res) { forward(req, {}, res); });
}

bool RecordingProxy::start() {
    m_server.start();
    return m_server.port() > 0;
}

QList<RecordingProxy::Exchange> RecordingProxy::exchanges() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_exchanges;
}

QString RecordingProxy::describe() const {
    const auto join = [](const QMap<QString, QString> &values) {
        QStringList pairs;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            pairs << it.key() + '=' + it.value().simplified();
        return pairs.join(' ');
    };
    QStringList lines;
    for (const Exchange &exchange : exchanges()) {
        const SoapCall answer = soapCallOf(exchange.answer);
        const QString answerText =
            !answer.operation.isEmpty() ? join(answer.parameters)
            : exchange.operation == QLatin1String(kDownloadOperation)
                ? QStringLiteral("%1 bytes").arg(exchange.answer.size())
                : QString::fromUtf8(exchange.answer.left(kDescribedAnswerBytes)).simplified();
        lines << QStringLiteral("%1 %2 %3 -> %4 %5")
                     .arg(lines.size() + 1, 3)
                     .arg(exchange.operation, join(exchange.parameters))
                     .arg(exchange.status)
                     .arg(answerText);
    }
    return lines.join('\n');
}

void RecordingProxy::forward(const httplib::Request &request, const std::string &body,
                             httplib::Response &response) {
    Exchange exchange = describeRequest(request, body);

    httplib::Client service("127.0.0.1", m_servicePort);
    service.set_read_timeout(kServiceGuardSeconds);
    service.set_write_timeout(kServiceGuardSeconds);
    service.set_url_encode(false); // the target goes on exactly as the client wrote it
    httplib::Headers headers;
    for (const auto &[name, value] : request.headers)
        if (!belongsToHop(name))
            headers.emplace(name, value);
    const httplib::Result result =
        request.method == "GET" ? service.Get(request.target, headers)
                                : service.Post(request.target, headers, body,
                                               request.get_header_value("Content-Type").c_str());

    if (result) {
        response.status = result->status;
        response.set_content(result->body, result->get_header_value("Content-Type").c_str());
        exchange.status = result->status;
        exchange.answer = QByteArray::fromStdString(result->body);
    } else {
        response.status = 502;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_exchanges.append(exchange);
}
