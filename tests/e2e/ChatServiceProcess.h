#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <memory>

// The real chat service as a child process on a port the system chooses. The operator's side of
// the conversation is its JSON API, called over plain HTTP.
class ChatServiceProcess {
public:
    struct Reply {
        int status = 0; // 0 when no answer came
        QByteArray body;

        QJsonObject json() const;
    };

    ChatServiceProcess() = default;
    ~ChatServiceProcess();
    ChatServiceProcess(const ChatServiceProcess &) = delete;
    ChatServiceProcess &operator=(const ChatServiceProcess &) = delete;

    // Starts program with --port 0 and options; false when it reported no port.
    bool start(const QString &program, const QStringList &options);
    int port() const { return m_port; }
    QString errorOutput();

    Reply get(const std::string &path);
    Reply post(const std::string &path, const QByteArray &body,
               const char *contentType = "application/json");

private:
    QProcess m_process;
    int m_port = 0;
    std::unique_ptr<httplib::Client> m_client;
};
