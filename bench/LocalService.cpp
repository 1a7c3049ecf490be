#include "LocalService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kProcessGuardMs = 30000;
constexpr time_t kExchangeGuardSeconds = 30;

QJsonObject jsonOf(const httplib::Result &result) {
    if (!result || result->status != 200)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

std::string jsonText(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

std::string ticketPath(qint32 ticketId) {
    return "/api/tickets/" + std::to_string(ticketId);
}

} // namespace

bool LocalService::start() {
    if (!m_process.start(QStringLiteral(BRENNO_SERVICE_PROGRAM), {QStringLiteral("--memory")},
                         kProcessGuardMs))
        return false;
    m_client = m_process.operatorClient(kExchangeGuardSeconds);
    return true;
}

QString LocalService::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_process.port());
}

qint32 LocalService::openTicket(const QString &vatNumber) {
    const QJsonObject body{{QStringLiteral("vat"), vatNumber}};
    return jsonOf(m_client->Post("/api/tickets", jsonText(body), "application/json"))
        .value(QStringLiteral("id"))
        .toInt();
}

qint32 LocalService::sendText(qint32 ticketId, const QString &testo) {
    const QJsonObject body{{QStringLiteral("testo"), testo}};
    return jsonOf(m_client->Post(ticketPath(ticketId) + "/messages", jsonText(body),
                                 "application/json"))
        .value(QStringLiteral("id"))
        .toInt();
}

bool LocalService::isRead(qint32 ticketId, qint32 messageId) {
    const QJsonArray messages = jsonOf(m_client->Get(ticketPath(ticketId) + "/messages?after=" +
                                                     std::to_string(messageId - 1)))
                                    .value(QStringLiteral("messages"))
                                    .toArray();
    return !messages.isEmpty() &&
           messages.first().toObject().value(QStringLiteral("letto")).toBool();
}
