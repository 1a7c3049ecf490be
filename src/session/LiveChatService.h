#pragma once

#include "net/SoapTransport.h"
#include "session/ChatService.h"

#include <QObject>

// The chat session's service over HTTP, through the service client. Its exchanges live no
// longer than it does: whatever is still on the wire when it goes is abandoned unheard.
class LiveChatService : public QObject, public ChatService {
    Q_OBJECT
public:
    // soapTimeLimitMs bounds every SOAP exchange; tests pass a short one.
    explicit LiveChatService(int soapTimeLimitMs = kSoapTimeLimitMs)
        : m_soapTimeLimitMs(soapTimeLimitMs) {}

    void post(const QString &endpoint, const QString &envelope, Answer done) override;
    void downloadPicture(const QString &fileName, const QString &path, Outcome done) override;
    void uploadFile(const QString &path, Progress progress, Outcome done) override;
    void probeLink(const QUrl &address, Outcome done) override;

private:
    // Ties an exchange to this service's life; nullptr (nothing was sent) is let be.
    void adopt(QObject *exchange);

    int m_soapTimeLimitMs;
};
