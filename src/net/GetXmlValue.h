#pragma once

#include <QString>

// The text of the first element that an absolute path ("/SOAP-ENV:Envelope/SOAP-ENV:Body/...")
// selects in a response. Steps are compared with the names as written, prefix included.
// Empty when the response is empty, lacks the element or is not well-formed XML; the last
// case is written to the diagnostic log (the reason, then the whole response).
QString GetXmlValue(const QString &response, const QString &path);
