#pragma once

#include <QString>

// Whether a bubble's whole text is a web address: by its prefix, or because a GET of it
// answers with the status text "OK". Blocks the caller for the probe.
bool IsLink(const QString &text);
