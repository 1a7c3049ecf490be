#pragma once

#include <QString>

// Where a bubble reads the attachment picture called name: inside the TempImg folder of the
// application folder, subfolders allowed. Empty for an empty name and for a name that is
// absolute or climbs out of the folder, so that a message cannot show an arbitrary file.
QString AttachmentPath(const QString &applicationFolder, const QString &name);
