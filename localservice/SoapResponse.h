#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Answers in the form the client reads by absolute path: the envelope prefixed "SOAP-ENV", the
// result element prefixed "ns1", plain field elements inside it, every value escaped.
namespace SoapResponse {

using Fields = QList<QPair<QString, QString>>;

// <ns1:{operation}Response> holding the fields in the order given.
QByteArray result(const QString &operation, const Fields &fields);

// A SOAP 1.1 fault; faultCode is "Client" or "Server".
QByteArray fault(const QString &faultCode, const QString &faultString);

} // namespace SoapResponse
