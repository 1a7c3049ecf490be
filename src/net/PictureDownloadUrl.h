#pragma once

#include <QString>

// The service address of an operator's picture; the name goes in percent-encoded, everything
// but letters, digits and "-._~", so that the service reads back exactly that name.
QString PictureDownloadUrl(const QString &fileName);
