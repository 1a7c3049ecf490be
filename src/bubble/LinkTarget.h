#pragma once

#include <QString>
#include <QUrl>

// The address a click on a link bubble opens: the text as shown, with "http://" in front when
// it names no scheme, characters an address may not hold percent-encoded. Empty for anything
// but an http or https address with a host, so that no other handler starts.
QUrl LinkTarget(const QString &shownText);
