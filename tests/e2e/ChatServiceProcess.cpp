#include "ChatServiceProcess.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace {

// Bound waits on a loaded machine so that a fault ends the test; they measure nothing.
constexpr int kProcessGuardMs = 30000;
constexpr time_t kExchangeGuardSeconds = 30;

ChatServiceProcess::Reply toReply(const httplib::Result &result) {
    if (!result)
        return {};
    return {result->status, QByteArray::fromStdString(result->body)};
}

} // namespace

QJsonObject ChatServiceProcess::Reply::json() const {
    return QJsonDocument::fromJson(body).object();
}

ChatServiceProcess::~ChatServiceProcess() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kProcessGuardMs)) {
        m_process.kill();
        m_process.waitForFinished(kProcessGuardMs);
    }
}

bool ChatServiceProcess::start(const QString &program, const QStringList &options) {
    m_process.start(program, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + options);
    // Its first line names the port it listens on.
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kProcessGuardMs))
            return false;
    }
    static const QRegularExpression listening(
        QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)$"));
    const auto match = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_port = match.hasMatch() ? match.captured(1).toInt() : 0;
    m_client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
    m_client->set_read_timeout(kExchangeGuardSeconds);
    m_client->set_write_timeout(kExchangeGuardSeconds);
    return m_port > 0;
}

QString ChatServiceProcess::errorOutput() {
    return QString::fromUtf8(m_process.readAllStandardError());
}

ChatServiceProcess::Reply ChatServiceProcess::get(const std::string &path) {
    return toReply(m_client->Get(path));
}

ChatServiceProcess::Reply ChatServiceProcess::post(const std::string &path, const QByteArray &body,
                                                   const char *contentType) {
    return toReply(m_client->Post(path, body.toStdString(), contentType));
}
