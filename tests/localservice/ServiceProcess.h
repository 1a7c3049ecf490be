#pragma once

#include "service/ResponseReader.h"

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <memory>

// The real brenno-service as a child process on a port the system chooses, reached over plain
// HTTP so that the tests see the statuses and bytes the client's transport hides.
class ServiceProcess {
public:
    struct Reply {
        int status = 0; // 0 when no answer came
        QByteArray body;

        // A field of the SOAP answer to the operation, as the client reads it.
        QString field(const char *operation, const char *name) const {
            return GetXmlValue(QString::fromUtf8(body),
                               QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:%1Response/%2")
                                   .arg(QLatin1String(operation), QLatin1String(name)));
        }
        QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    };

    // Starts it with --port 0 and the given options; false when it did not report a port.
    bool start(const QStringList &options) {
        m_process.start(BRENNO_SERVICE_PROGRAM, QStringList{"--port", "0"} + options);
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kProcessGuardMs))
                return false;
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        const int port = line.startsWith(kListening) ? line.mid(kListening.size()).toInt() : 0;
        m_port = port;
        m_client = std::make_unique<httplib::Client>("127.0.0.1", port);
        m_client->set_read_timeout(kExchangeGuardSeconds);
        return port > 0;
    }
    // SIGTERM, then the exit code; a clean exit is 0 (also under the leak checker).
    int stop() {
        m_process.terminate();
        if (m_process.waitForFinished(kProcessGuardMs))
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        m_process.kill();
        m_process.waitForFinished(kProcessGuardMs);
        return -1;
    }

    int port() const { return m_port; }
    Reply get(const std::string &path) { return toReply(m_client->Get(path)); }
    // The service reads every body by its path, whatever its declared type.
    Reply post(const std::string &path, const QByteArray &body) {
        return toReply(m_client->Post(path, body.toStdString(), "application/octet-stream"));
    }

private:
    // Generous guards so that a broken service fails the test instead of hanging it.
    static constexpr int kProcessGuardMs = 30000;
    static constexpr time_t kExchangeGuardSeconds = 30;
    static constexpr QLatin1String kListening{"listening on http://127.0.0.1:"};

    static Reply toReply(const httplib::Result &result) {
        return result ? Reply{result->status, QByteArray::fromStdString(result->body)} : Reply{};
    }

    QProcess m_process;
    int m_port = 0;
    std::unique_ptr<httplib::Client> m_client;
};
