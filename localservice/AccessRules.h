#pragma once

#include "ListenAddress.h"

#include <httplib.h>

#include <QByteArray>

#include <optional>

// Who may ask what. Every request must name the address listened on in its Host header, so a
// page that points its own domain name at this address gets nothing. The operator API also
// needs the token as "Authorization: Bearer", and a write a content type that browsers send
// only after a CORS preflight, which this service never grants.
class AccessRules {
public:
    struct Refusal {
        int status;
        const char *reason;
    };

    AccessRules(const ListenAddress &address, const QByteArray &token)
        : m_address(address)
        , m_token(token) {}

    std::optional<Refusal> check(const httplib::Request &request) const;

private:
    ListenAddress m_address;
    QByteArray m_token;
};
