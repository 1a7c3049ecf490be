#include "AccessRules.h"

#include "OperatorToken.h"

#include <QList>

namespace {

constexpr std::string_view kApiPrefix = "/api/";
constexpr std::string_view kPicturesSuffix = "/pictures";
constexpr std::string_view kBearer = "Bearer ";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The type without its parameters, in lower case.
QByteArray mediaType(const std::string &contentType) {
    return QByteArray::fromStdString(contentType).split(';').first().trimmed().toLower();
}

// JSON, or on the picture route the picture's own type; none of them is one a browser may send
// across sites without asking first.
bool isPreflightedWrite(const httplib::Request &request) {
    const QByteArray type = mediaType(request.get_header_value("Content-Type"));
    if (endsWith(request.path, kPicturesSuffix))
        return type.startsWith("image/") || type == "application/octet-stream";
    return type == "application/json";
}

} // namespace

std::optional<AccessRules::Refusal> AccessRules::check(const httplib::Request &request) const {
    if (request.get_header_value_count("Host") != 1 ||
        !m_address.isNamedBy(request.get_header_value("Host")))
        return Refusal{403, "the Host header does not name this service"};
    if (!startsWith(request.path, kApiPrefix))
        return std::nullopt;
    const std::string authorization = request.get_header_value("Authorization");
    if (!startsWith(authorization, kBearer) ||
        !OperatorToken::matches(m_token,
                                QByteArray::fromStdString(authorization.substr(kBearer.size()))))
        return Refusal{401, "the operator token is missing or wrong"};
    if (request.method != "GET" && request.method != "HEAD" && !isPreflightedWrite(request))
        return Refusal{415, "a write needs Content-Type application/json, or a picture's type"};
    return std::nullopt;
}
