#include "bubble/TextHelpers.h"

#include "core/Windows1252.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr qsizetype kMaxMeasuredLength = 65000;
constexpr double kWidthFactor = 1.2;
constexpr char kCarriageReturn = '\r';

// Width in twips of each Windows-1252 code: control codes are 0, undefined codes 1.
constexpr std::array<quint8, 256> kCharWidthTable = {
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   //
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   //
    45,  30,  60,  90,  90,  150, 52,  30,  60,  60,  60,  90,  45,  60,  45,  45,  //
    90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  45,  45,  90,  90,  90,  90,  //
    165, 120, 105, 105, 105, 90,  90,  120, 105, 30,  75,  105, 90,  120, 105, 120, //
    90,  120, 105, 105, 90,  105, 120, 150, 105, 120, 105, 45,  45,  45,  75,  90,  //
    60,  90,  90,  90,  90,  90,  60,  90,  90,  30,  30,  75,  30,  120, 90,  90,  //
    90,  90,  60,  90,  45,  90,  90,  150, 90,  90,  90,  60,  30,  60,  90,  120, //
    90,  1,   30,  90,  60,  165, 90,  90,  60,  165, 105, 60,  165, 1,   105, 1,   //
    1,   30,  30,  60,  60,  60,  90,  165, 60,  165, 90,  60,  150, 1,   90,  120, //
    45,  30,  90,  90,  105, 90,  30,  90,  60,  120, 60,  90,  90,  60,  120, 90,  //
    60,  90,  60,  60,  60,  90,  90,  60,  60,  60,  75,  90,  135, 150, 150, 90,  //
    120, 120, 120, 120, 120, 120, 165, 105, 90,  90,  90,  90,  30,  30,  30,  30,  //
    120, 105, 120, 120, 120, 120, 120, 90,  120, 105, 105, 105, 105, 120, 105, 105, //
    90,  90,  90,  90,  90,  90,  150, 90,  90,  90,  90,  90,  30,  30,  30,  30,  //
    90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  90,  //
};

qint16 saturateToInt16(qsizetype count) {
    return qint16(std::min<qsizetype>(count, std::numeric_limits<qint16>::max()));
}

} // namespace

QString HtmlToText(const QString &text) {
    QString source = text;
    source.replace(QStringLiteral("<br>"), QStringLiteral("\r\n"));
    if (CountOccurrences(source, QStringLiteral("<")) == 0)
        return source;

    // One pass removes the same spans as repeatedly cutting the first "<" up to the first ">"
    // after it, without the cost or depth of a loop over the whole text.
    QString result;
    result.reserve(source.size());
    qsizetype from = 0;
    while (from < source.size()) {
        const qsizetype open = source.indexOf(QLatin1Char('<'), from);
        if (open < 0)
            break;
        const qsizetype close = source.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break;
        result += QStringView(source).mid(from, open - from);
        from = close + 1;
    }
    result += QStringView(source).mid(from);
    return result;
}

qint16 CountOccurrences(const QString &text, const QString &part) {
    QString rest = text;
    rest.remove(part);
    return saturateToInt16(text.size() - rest.size());
}

qint16 CountWrappedLines(qint32 maxWidth, const QString &text) {
    if (text.size() > kMaxMeasuredLength)
        return 0;
    const QByteArray codes = Windows1252::encode(text);
    if (codes.isEmpty())
        return 0;

    qsizetype wraps = 0;
    qsizetype hardLines = 1;
    double running = 0;
    for (const char code : codes) {
        if (code == kCarriageReturn) {
            ++hardLines;
            running = 0;
            continue;
        }
        const double width = kCharWidthTable[uchar(code)];
        running += width * kWidthFactor;
        if (running > maxWidth) {
            ++wraps;
            running = width;
        }
    }
    return saturateToInt16(wraps + hardLines - 1);
}

// By hand: a regular expression split costs more than the whole text layout of a short message.
QStringList HardLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines << text.mid(start);
    return lines;
}
