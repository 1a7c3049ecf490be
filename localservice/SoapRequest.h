#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// One SOAP 1.1 call as the client posts it: the operation is the first element inside the
// envelope's Body, its parameters the simple elements inside that one.
struct SoapRequest {
    QString operation;                  // local name, prefix dropped
    QHash<QString, QString> parameters; // by local name; the first of a repeated name wins

    // Nothing for a body that is not well-formed XML, has a DTD, is not a SOAP 1.1 envelope,
    // has no operation, or nests elements inside a parameter.
    static std::optional<SoapRequest> parse(const QByteArray &body);
};
