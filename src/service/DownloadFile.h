#pragma once

#include <QString>

// Fetches url with GET and stores the body at path byte for byte when the answer is 200; the
// body goes to disk as it arrives, and the file appears only once complete, so a failed or
// refused transfer leaves what was there. Redirects are followed on the same host and port only.
// Returns true when the file was stored.
bool DownloadFile(const QString &url, const QString &path);
