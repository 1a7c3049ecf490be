#pragma once

#include <QUrl>

struct HttpResult;

// True when result is a redirect (3xx), which the client's posts never follow: it is logged and
// counts as a failed exchange for the caller.
bool RefusedRedirect(const QUrl &requested, const HttpResult &result);
