#include "ServiceProcess.h"

#include <QUrlQuery>

constexpr QLatin1String kConsoleLine("operator console at ");
bool ServiceProcess::start(const QString &program, const QStringList &options, int guardMs) {
    m_process.start(program, QStringList{"--port", "0"} + options);
    while (m_process.canReadLine() || m_process.waitForReadyRead(guardMs)) {
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (line.startsWith(kConsoleLine)) {
            m_console = QUrl(line.mid(kConsoleLine.size()));
            return m_console.port() > 0 && !token().empty();
        }
    }
    return false;
}

int ServiceProcess::stop(int guardMs) {
    m_process.terminate();
    const bool exited = m_process.waitForFinished(guardMs);
    return exited && m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

std::string ServiceProcess::token() const {
    return QUrlQuery(m_console.fragment()).queryItemValue(QStringLiteral("token")).toStdString();
}

std::unique_ptr<httplib::Client> ServiceProcess::operatorClient(time_t readTimeoutSeconds) const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port());
    client->set_read_timeout(readTimeoutSeconds);
    client->set_bearer_token_auth(token());
    return client;
}
