#pragma once

#include <QByteArray>
#include <QString>

// A response body as text: in the character set its Content-Type declares, else in the encoding
// its XML declaration names, else UTF-8; UTF-8 too for a name this build cannot decode. Labels
// that browsers read as Windows-1252 ("iso-8859-1", "latin1", "us-ascii", ...) are read so here.
QString ResponseText(const QByteArray &contentType, const QByteArray &body);
