#pragma once

#include "chat/ChatService.h"
#include "service/SoapTransport.h"

// The chat session's service over HTTP, through the service client.
class LiveChatService : public ChatService {
public:
    // soapTimeLimitMs bounds every SOAP exchange; tests pass a short one.
    explicit LiveChatService(int soapTimeLimitMs = kSoapTimeLimitMs)
        : m_soapTimeLimitMs(soapTimeLimitMs) {}

    QString post(const QString &endpoint, const QString &envelope) override;
    bool downloadPicture(const QString &fileName, const QString &path) override;
    bool uploadFile(const QString &path) override;
    bool probeLink(const QUrl &address) override;
    bool exchangeInProgress() const override;

private:
    int m_soapTimeLimitMs;
};
