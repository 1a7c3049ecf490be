#pragma once

#include <QString>

#include <functional>

class HttpExchange;

// Fetches url with GET and stores the body at path byte for byte when the answer is 200; the
// body goes to disk as it arrives, and the file appears only once complete, so a failed or
// refused transfer leaves what was there. Redirects are followed on the same host and port only.
// done learns whether the file was stored. Returns the exchange, or nullptr when the file could
// not be opened for writing: done has then run already.
HttpExchange *DownloadFile(const QString &url, const QString &path,
                           std::function<void(bool stored)> done);
