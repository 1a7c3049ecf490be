#pragma once

#include "ServiceProcess.h"

#include <httplib.h>

#include <QString>

#include <memory>

// brenno-service with an in-memory store as a child process on a port the system chooses,
// with the operator's calls that the benchmarks need.
class LocalService {
public:
    // False when it did not report its port.
    bool start();
    QString baseUrl() const;

    // The VAT number's open ticket, or 0.
    qint32 openTicket(const QString &vatNumber);
    // The new message's id, or 0.
    qint32 sendText(qint32 ticketId, const QString &testo);
    // Whether the client has marked the message read.
    bool isRead(qint32 ticketId, qint32 messageId);

private:
    ServiceProcess m_process;
    std::unique_ptr<httplib::Client> m_client;
};
