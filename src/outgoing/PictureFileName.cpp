#include "outgoing/PictureFileName.h"

#include <QDir>

namespace PictureFileName {

namespace {
const QString kTimeFormat = QStringLiteral("yyyyMMddHHmmss");
} // namespace

QString of(qint32 idTicket, const QDateTime &time) {
    return QStringLiteral("%1_%2.jpg").arg(idTicket).arg(time.toString(kTimeFormat));
}

// Ends: the folder holds finitely many names, and an invalid time does not advance.
QString freeIn(const QDir &folder, qint32 idTicket, const QDateTime &time) {
    QDateTime second = time;
    while (second.isValid() && folder.exists(of(idTicket, second)))
        second = second.addSecs(1);
    return of(idTicket, second);
}

} // namespace PictureFileName
