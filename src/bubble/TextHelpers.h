#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Plain text out of a chat message: every "<br>" becomes CR LF, every other tag disappears.
// A "<" with no ">" after it ends the conversion and is kept with the rest of the text.
QString HtmlToText(const QString &text);

// Length of text minus the length of text without any occurrence of part; saturates at the
// 16-bit limit.
qint16 CountOccurrences(const QString &text, const QString &part);

// Lines beyond the first that text needs at maxWidth twips, from the fixed width table of the
// characters' Windows-1252 codes; wraps at any character. Texts over 65,000 characters give 0,
// and the count saturates at the 16-bit limit.
qint16 CountWrappedLines(qint32 maxWidth, const QString &text);

// The hard lines of text: CR LF, a lone CR and a lone LF each end one.
QStringList HardLines(const QString &text);
