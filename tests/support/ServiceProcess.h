#pragma once

#include <httplib.h>

#include <QProcess>
#include <QUrl>

#include <memory>
#include <string>

// brenno-service as a child process on a port the system chooses, as the tests and benchmarks
// drive it: the port and the operator's token come from the console address it prints.
class ServiceProcess {
public:
    // SIGTERM first, so that it ends cleanly; QProcess kills what is still left.
    ~ServiceProcess() { stop(kStopGuardMs); }
    // False without a console address printed within guardMs.
    bool start(const QString &program, const QStringList &options, int guardMs);
    // SIGTERM; the exit code of a normal exit, else -1.
    int stop(int guardMs);

    int port() const { return m_console.port(); }
    std::string token() const;
    // To 127.0.0.1, with the operator's token on every request.
    std::unique_ptr<httplib::Client> operatorClient(time_t readTimeoutSeconds) const;

private:
    static constexpr int kStopGuardMs = 30000;
    QProcess m_process;
    QUrl m_console;
};
