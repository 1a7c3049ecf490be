#pragma once

#include <httplib.h>

#include <QProcess>
#include <QStringList>

#include <memory>

// The real brenno-service as a child process on a port the system chooses.
class ServiceProcess {
public:
    ServiceProcess() = default;
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    // Starts it with --port 0 and the given options; false when it did not report a port.
    bool start(const QStringList &options = {QStringLiteral("--memory")});
    // SIGTERM, then the exit code; a clean exit is 0 (also under the leak checker).
    int stop();

    int port() const { return m_port; }
    // The lines it printed after the first one, such as the tickets it opened.
    QStringList startupLines() const { return m_startupLines; }
    QString errorOutput();
    std::unique_ptr<httplib::Client> client() const;

private:
    QProcess m_process;
    int m_port = 0;
    QStringList m_startupLines;
};
