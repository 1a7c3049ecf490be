#pragma once

#include "LoopbackServer.h"

#include <QList>
#include <QMap>
#include <QString>

#include <mutex>

// Stands between the client and the chat service on loopback: forwards every request unchanged
// and keeps each exchange, in the order the client made them, for assertions on the wire.
class RecordingProxy {
public:
    struct Exchange {
        // "getticket", "getchat", "setreadchat", "setchat" (the first element of the SOAP
        // body), "upload", "download", or the method and target of anything else.
        QString operation;
        // The SOAP parameters by element name; "filename" or "nomefile" of a transfer.
        QMap<QString, QString> parameters;
        int status = 0; // of the service's answer; 0 when it gave none
        QByteArray answer;

        // A field of the SOAP answer, read as the client reads it.
        QString answerField(const char *name) const;
    };

    explicit RecordingProxy(int servicePort);

    // False when no port could be bound.
    bool start();
    std::string baseUrl() const { return m_server.baseUrl(); }
    QList<Exchange> exchanges() const;
    // One line per exchange, for failure reports.
    QString describe() const;

private:
    void forward(const httplib::Request &request, const std::string &body,
                 httplib::Response &response);

    const int m_servicePort;
    LoopbackServer m_server;
    mutable std::mutex m_mutex;
    QList<Exchange> m_exchanges;
};
