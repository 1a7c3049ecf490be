#include "ClientProcess.h"

#include <QFile>

#include <csignal>

namespace {
constexpr int kStopLimitMs = 30000;
}

ClientProcess::~ClientProcess() {
    stop();
}

bool ClientProcess::start(const QString &serviceUrl, const QString &vatNumber) {
    const QString program = m_folder.filePath(QStringLiteral("brenno"));
    if (!m_folder.isValid() ||
        (!QFile::exists(program) && !QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), program)))
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("BRENNO_SERVICE_URL"), serviceUrl);
    m_process.setProcessEnvironment(environment);
    // Qt's start-up notices of the offscreen platform would drown the table.
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(program, {vatNumber});
    return m_process.waitForStarted();
}

// SIGTERM ends the client's event loop like any other quit.
void ClientProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(kStopLimitMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopLimitMs);
    }
}
