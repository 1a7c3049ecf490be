#pragma once

#include <QString>

#include <string_view>

// The address the service listens on, and the names under which a browser may reach it.
class ListenAddress {
public:
    ListenAddress(const QString &host, int port)
        : m_host(host)
        , m_port(port) {}

    // "localhost" or a loopback address: only this machine reaches it.
    bool isLoopback() const;
    // 0.0.0.0 or ::, which no Host header can name.
    bool isWildcard() const;
    // The host listened on with its port, or "localhost" with the port on a loopback address;
    // any name on a wildcard address, which the operator's token alone guards.
    bool isNamedBy(std::string_view hostHeader) const;
    // "http://host:port", an IPv6 address in brackets.
    QString url() const;

private:
    QString m_host;
    int m_port;
};
