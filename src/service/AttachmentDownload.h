#pragma once

#include <QString>

// Fetches url with GET and stores the body at path byte for byte when the answer is 200; the
// body goes to disk as it arrives, and the file appears only once complete, so a failed or
// refused transfer leaves what was there. Redirects are followed on the same host and port only.
// Returns true when the file was stored.
bool DownloadFile(const QString &url, const QString &path);

// A bare file name that can be joined to a folder without leaving it: not empty, not "." or
// "..", no separators, drive colon or control characters (C0, DEL and C1).
bool IsPlainFileName(const QString &name);

// The service address of an operator's picture; the name goes in percent-encoded, everything
// but letters, digits and "-._~", so that the service reads back exactly that name.
QString PictureDownloadUrl(const QString &fileName);
