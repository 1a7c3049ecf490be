#pragma once

#include <QString>

// A bare file name that can be joined to a folder without leaving it: not empty, not "." or
// "..", no separators, drive colon or control characters (C0, DEL and C1).
bool IsPlainFileName(const QString &name);
