#include "bubble/BubbleText.h"

#include "app/Units.h"
#include "bubble/BubbleGeometry.h"

#include <QTextLayout>

#include <cmath>
#include <limits>

namespace BubbleText {

namespace {

const QString kFontFamily = QStringLiteral("Arial");
constexpr qreal kPointSize = 9.75;

// Stacks the lines as a plain text box does: leading included, no gap between lines.
int layOutLines(QTextLayout &layout, qreal widthPx, qreal *widest) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    qreal y = 0;
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(widthPx);
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (widest)
            *widest = qMax(*widest, line.naturalTextWidth());
        ++lines;
    }
    layout.endLayout();
    return lines;
}

} // namespace

QFont font(bool underlined) {
    QFont font(kFontFamily);
    font.setPointSizeF(kPointSize);
    font.setUnderline(underlined);
    return font;
}

QString displayText(const QString &testo) {
    QString shown = testo;
    shown.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    shown.replace(QLatin1Char('\r'), QChar::LineSeparator);
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return shown;
}

QString plainText(const QString &displayed) {
    QString plain = displayed;
    plain.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return plain;
}

Measure measure(const QString &testo) {
    const QString shown = displayText(testo);
    QTextLayout layout(shown, font(false));
    qreal widest = 0;
    Measure measured;
    measured.lines =
        layOutLines(layout, Units::twipsToPixels(BubbleGeometry::kMaxTextWidth), &widest);
    // A hard line that wrapped is wider than any bubble text, whatever its lines measure.
    const int hardLines = int(shown.count(QChar::LineSeparator)) + 1;
    measured.naturalWidthTwips = measured.lines > hardLines
                                     ? std::numeric_limits<int>::max()
                                     : int(Units::pixelsToTwips(int(std::ceil(widest))));
    return measured;
}

std::unique_ptr<QTextLayout> layOut(const QString &testo, int widthPx, bool underlined) {
    auto layout = std::make_unique<QTextLayout>(displayText(testo), font(underlined));
    layOutLines(*layout, widthPx, nullptr);
    return layout;
}

} // namespace BubbleText
