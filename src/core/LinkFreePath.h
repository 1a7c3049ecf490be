#pragma once

#include <QString>

// Everything the client writes stays in its application folder: a symbolic link (or junction)
// planted there is never written through, whether it stands for the file itself or for a
// folder between it and the application folder. Paths outside that folder: the file only.

// True when a write to path follows no link.
bool IsLinkFree(const QString &path);
// The same test; a refusal is logged.
bool MayWriteTo(const QString &path);
