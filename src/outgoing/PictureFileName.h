#pragma once

#include <QDateTime>
#include <QString>

class QDir;

// Names of the pictures the customer sends: the ticket, "_", the local time to the second and
// ".jpg", e.g. 57_20240305140709.jpg.
namespace PictureFileName {

QString of(qint32 idTicket, const QDateTime &time);
// The name of the first second from time on that folder does not hold yet, so that a second
// picture in the same second does not replace the first one, here or at the service.
QString freeIn(const QDir &folder, qint32 idTicket, const QDateTime &time);

} // namespace PictureFileName
