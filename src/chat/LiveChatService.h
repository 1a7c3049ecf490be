#pragma once

#include "chat/ChatService.h"

// The chat session's service over HTTP, through the service client.
class LiveChatService : public ChatService {
public:
    QString post(const QString &endpoint, const QString &envelope) override;
    bool downloadPicture(const QString &fileName, const QString &path) override;
    QString uploadFile(const QString &path) override;
    bool exchangeInProgress() const override;
};
