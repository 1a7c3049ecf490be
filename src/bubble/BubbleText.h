#pragma once

#include <QFont>
#include <QString>

#include <memory>

class QTextLayout;

// The text of a bubble as it is shown: Arial 9.75 pt, every hard line break a line of its own,
// wrapped at words (or anywhere in a word too long for the line).
namespace BubbleText {

QFont font(bool underlined);

// The text with each hard line break as one line separator, so that one layout holds it all.
QString displayText(const QString &testo);
// A piece of the display text as the clipboard should get it.
QString plainText(const QString &displayed);

struct Measure {
    int naturalWidthTwips = 0; // the widest hard line, rounded up to a whole pixel
    int lines = 0;             // lines when laid out at the bubble's widest text
};
Measure measure(const QString &testo);

// The text laid out at widthPx, its first line at y 0, ready to paint and hit-test.
std::unique_ptr<QTextLayout> layOut(const QString &testo, int widthPx, bool underlined);

} // namespace BubbleText
