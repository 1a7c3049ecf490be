#pragma once

#include <QString>
#include <QUrl>

// The address a click on a link bubble opens: the text as shown, with "http://" in front when
// it names no scheme. Empty for anything but a web address, so that no other handler starts.
QUrl LinkTarget(const QString &shownText);
