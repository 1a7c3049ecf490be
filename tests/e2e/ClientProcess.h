#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The real client, copied with its database reader into a fresh application folder of its own
// and started there, so that its lock, settings and pictures stay private to the test.
class ClientProcess {
public:
    ClientProcess() = default;
    ~ClientProcess();
    ClientProcess(const ClientProcess &) = delete;
    ClientProcess &operator=(const ClientProcess &) = delete;

    // Programs come from programFolder; false when they could not be copied or started.
    bool start(const QString &programFolder, const QString &serviceUrl, const QString &vatNumber);
    // SIGTERM, then the exit code; -1 when it crashed or did not end.
    int terminate();

    qint64 processId() const { return m_process.processId(); }
    QString applicationFolder() const;
    // Everything it wrote to stderr so far.
    QString errorOutput() const;
    // Processes, this client included, whose program lies in the application folder.
    QList<qint64> processesRunningFromFolder() const;

private:
    QTemporaryDir m_root;
    QProcess m_process;
};
