#pragma once

#include <QString>

// True when the path names a file that can be opened for reading.
bool FileExists(const QString &path);
// True when the path names a folder; a trailing separator is allowed.
bool FolderExists(const QString &path);
