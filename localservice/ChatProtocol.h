#pragma once

#include "SoapRequest.h"
#include "SoapResponse.h"

#include "core/ServiceProtocol.h"

#include <QDateTime>

class ChatStore;

// The four chat operations over the store, with the statuses the client compares.
class ChatProtocol {
public:
    // ws_chat_due serves getticket and setreadchat, ws_chat_tre getchat and setchat.
    enum class Endpoint { Due, Tre };

    struct Answer {
        bool isFault = false;
        QString faultString;
        SoapResponse::Fields fields;
    };

    static inline const QLatin1String kStatusOk{ServiceProtocol::kStatusOk};
    static constexpr auto kStatusRefused = QLatin1String("KO");
    static constexpr auto kStatusNoMessage = QLatin1String("nomsg");
    static inline const QLatin1String kStatusNoTicket{ServiceProtocol::kStatusNoTicket};

    explicit ChatProtocol(ChatStore &store)
        : m_store(store) {}

    Answer answer(Endpoint endpoint, const SoapRequest &request, const QDateTime &now);

private:
    Answer getTicket(const SoapRequest &request);
    Answer getChat(const SoapRequest &request, const QDateTime &now);
    Answer setReadChat(const SoapRequest &request);
    Answer setChat(const SoapRequest &request, const QDateTime &now);

    ChatStore &m_store;
};
