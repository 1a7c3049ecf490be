#include "ServiceProcess.h"

#include <QRegularExpression>

namespace {

// Generous guards so that a broken service fails the test instead of hanging it.
constexpr int kStartGuardMs = 30000;
constexpr int kStopGuardMs = 30000;
constexpr time_t kExchangeGuardSeconds = 30;

} // namespace

ServiceProcess::~ServiceProcess() {
    if (m_process.state() != QProcess::NotRunning)
        stop();
}

bool ServiceProcess::start(const QStringList &options) {
    m_process.start(QStringLiteral(BRENNO_SERVICE_PROGRAM),
                    QStringList{QStringLiteral("--port"), QStringLiteral("0")} + options);
    if (!m_process.waitForStarted(kStartGuardMs))
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kStartGuardMs))
            return false;
    }
    static const QRegularExpression listening(
        QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)$"));
    const auto match = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_port = match.hasMatch() ? match.captured(1).toInt() : 0;
    // The ticket lines follow at once; the service prints them before it serves.
    for (qsizetype expected = options.count(QStringLiteral("--open-ticket"));
         m_startupLines.size() < expected;) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(kStartGuardMs))
            return false;
        while (m_process.canReadLine())
            m_startupLines.append(QString::fromUtf8(m_process.readLine()).trimmed());
    }
    return m_port > 0;
}

int ServiceProcess::stop() {
    m_process.terminate();
    if (!m_process.waitForFinished(kStopGuardMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopGuardMs);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString ServiceProcess::errorOutput() {
    return QString::fromUtf8(m_process.readAllStandardError());
}

std::unique_ptr<httplib::Client> ServiceProcess::client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
    client->set_read_timeout(kExchangeGuardSeconds);
    client->set_write_timeout(kExchangeGuardSeconds);
    return client;
}
