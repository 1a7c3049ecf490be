#include "outgoing/OutgoingText.h"

#include "core/Windows1252.h"

#include <QList>

namespace OutgoingText {

namespace {
// A pasted page could hold thousands; the box names the first few.
constexpr qsizetype kNamedAtMost = 10;
} // namespace

QString normalized(const QString &text) {
    return text.normalized(QString::NormalizationForm_C);
}

QString unsendable(const QString &text) {
    QList<char32_t> found;
    for (const char32_t codePoint : text.toUcs4()) {
        if (codePoint == U'?' || Windows1252::codeOf(codePoint) != '?' || found.contains(codePoint))
            continue;
        found << codePoint;
        if (found.size() == kNamedAtMost)
            break;
    }
    QStringList named;
    for (const char32_t codePoint : found)
        named << QString::fromUcs4(&codePoint, 1);
    return named.join(QLatin1Char(' '));
}

QString warningFor(const QString &unsendableCharacters) {
    return QStringLiteral("Il messaggio non è stato inviato: questi caratteri non si possono "
                          "inviare all'operatore: %1\nToglierli dal messaggio e riprovare.")
        .arg(unsendableCharacters);
}

} // namespace OutgoingText
