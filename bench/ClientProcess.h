#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The real client, copied into a folder of its own as an installation would be, on the offscreen
// platform and talking to the service at serviceUrl.
class ClientProcess {
public:
    ClientProcess() = default;
    ~ClientProcess();
    ClientProcess(const ClientProcess &) = delete;
    ClientProcess &operator=(const ClientProcess &) = delete;

    // False when the copy or the start failed.
    bool start(const QString &serviceUrl, const QString &vatNumber);
    void stop();
    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};
