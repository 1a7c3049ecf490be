// The chat window's message list with N messages of one to three lines, on the offscreen
// platform: CPU time and resident memory per message added, against the floor of laying the
// same texts out once with QTextLayout in the bubble's font and width; then the time to paint
// one viewport at the top, the middle and the end of the list. Last, the resident memory that six
// 5600 x 5600 pictures take in the list (measured first), where full pictures would take 750 MiB.
// Messages go into the model, as the chat window's session writes them; the list lays them out.
#include "BenchTable.h"
#include "ProcessStats.h"

#include "app/Units.h"
#include "bubble/BubbleColours.h"
#include "bubble/BubbleGeometry.h"
#include "bubble/BubbleText.h"
#include "bubble/ChatMessage.h"
#include "core/AppState.h"
#include "messagelist/MessageList.h"
#include "messagelist/MessageModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextLayout>

namespace {

constexpr int kSizes[] = {1000, 10000};
const int kCanvasWidthPx = Units::twipsToPixels(MessageList::kWidthTwips);
constexpr int kViewportHeightPx = 435; // 11.5 cm

// Texts of one to three lines, as a conversation has them.
QString textOf(int i) {
    QString text = QStringLiteral("Messaggio %1 con qualche parola").arg(i);
    if (i % 3 == 1)
        text += QStringLiteral("\r\ne una seconda riga");
    if (i % 3 == 2)
        text += QStringLiteral(" che prosegue abbastanza a lungo da andare a capo nella bolla");
    return text;
}

ChatMessage messageOf(int i) {
    const bool fromOperator = i % 2 == 0;
    return {QStringLiteral("14:05"),
            fromOperator ? 7 : 0,
            textOf(i),
            false,
            false,
            fromOperator ? BubbleColours::kOperatorBack : BubbleColours::kCustomerBack,
            fromOperator ? BubbleColours::kOperatorFore : BubbleColours::kCustomerFore};
}

// CPU microseconds per text for laying each text out once, as the floor of any list.
double layoutFloorUs(int count) {
    const QFont font = BubbleText::font(false);
    const qreal width = Units::twipsToPixels(BubbleGeometry::kMaxTextWidth);
    const ProcessStats before = ProcessStats::self();
    for (int i = 0; i < count; ++i) {
        QTextLayout layout(BubbleText::displayText(textOf(i)), font);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width);
        layout.endLayout();
    }
    return (ProcessStats::self().cpuSeconds - before.cpuSeconds) * 1e6 / count;
}

// Milliseconds to paint the viewport with its top at topPx, nothing laid out there before.
double paintViewportMs(const MessageList &list, int topPx) {
    QImage target(kCanvasWidthPx, kViewportHeightPx, QImage::Format_RGB32);
    QElapsedTimer clock;
    clock.start();
    QPainter painter(&target);
    list.paintContent(painter, QRect(0, topPx, kCanvasWidthPx, kViewportHeightPx));
    return clock.nsecsElapsed() / 1e6;
}

// Adds six different pictures of 5600 x 5600 pixels, paints them and gives the resident growth
// in MiB.
double hugePicturesMiB(const QString &folder) {
    QImage huge(5600, 5600, QImage::Format_RGB32);
    for (int i = 0; i < 6; ++i) {
        huge.fill(QColor::fromHsv(60 * i, 255, 255));
        if (!huge.save(QStringLiteral("%1/TempImg/huge%2.png").arg(folder).arg(i)))
            return -1;
    }
    huge = QImage();
    MessageModel model;
    const MessageList list(model);
    const qint64 before = ProcessStats::self().residentKiB;
    for (int i = 0; i < 6; ++i)
        model.append({"14:05", 7, QStringLiteral("huge%1.png").arg(i), true, false,
                      BubbleColours::kOperatorBack, BubbleColours::kOperatorFore});
    QImage whole(kCanvasWidthPx, list.contentHeight(), QImage::Format_RGB32);
    QPainter painter(&whole);
    list.paintContent(painter, whole.rect());
    return (ProcessStats::self().residentKiB - before) / 1024.0;
}

// The chat window has shown a list with its scroll bar before: the style's pictures for it are
// made then, once a process, and not counted against the messages.
void showLongerThanTheViewport() {
    MessageModel model;
    MessageList list(model);
    list.resize(kCanvasWidthPx + list.verticalScrollBar()->sizeHint().width(), kViewportHeightPx);
    list.show();
    for (int i = 0; i < 30; ++i)
        model.append(messageOf(i));
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();
    QDir(folder.path()).mkdir(QStringLiteral("TempImg"));
    // Taken first, before the lists free memory that the pictures would reuse unseen.
    const double hugeMiB = hugePicturesMiB(folder.path());
    showLongerThanTheViewport();

    for (const int count : kSizes) {
        const QString n = QStringLiteral("N=%1").arg(count);
        const double floorUs = layoutFloorUs(count);

        // The list as in the chat window, which has been on screen before; painting is
        // measured apart, below, so updates are off while the messages go in.
        MessageModel model;
        MessageList list(model);
        list.resize(kCanvasWidthPx + list.verticalScrollBar()->sizeHint().width(),
                    kViewportHeightPx);
        list.show();
        QCoreApplication::processEvents();
        list.setUpdatesEnabled(false);
        const ProcessStats before = ProcessStats::self();
        for (int i = 0; i < count; ++i) {
            model.append(messageOf(i));
            // The exchange before each message runs the event loop.
            QCoreApplication::processEvents();
        }
        list.setUpdatesEnabled(true);
        QCoreApplication::processEvents();
        const ProcessStats after = ProcessStats::self();
        const double perMessageUs = (after.cpuSeconds - before.cpuSeconds) * 1e6 / count;

        printRow(QStringLiteral("display: CPU time per message added, ") + n, perMessageUs,
                 QStringLiteral("us/message"));
        printRow(QStringLiteral("display: floor, one QTextLayout per text, ") + n, floorUs,
                 QStringLiteral("us/text"));
        printRow(QStringLiteral("display: per message / floor, ") + n, perMessageUs / floorUs,
                 QStringLiteral("ratio"));
        printRow(QStringLiteral("display: resident memory per message, ") + n,
                 double(after.residentKiB - before.residentKiB) / count,
                 QStringLiteral("KiB/message"));
        const int bottomPx = list.contentHeight() - kViewportHeightPx;
        printRow(QStringLiteral("display: paint a viewport at the top, ") + n,
                 paintViewportMs(list, 0), QStringLiteral("ms"));
        printRow(QStringLiteral("display: paint a viewport in the middle, ") + n,
                 paintViewportMs(list, bottomPx / 2), QStringLiteral("ms"));
        printRow(QStringLiteral("display: paint a viewport at the end, ") + n,
                 paintViewportMs(list, bottomPx), QStringLiteral("ms"));
    }
    printRow(QStringLiteral("display: resident growth, six 5600x5600 pictures"), hugeMiB,
             QStringLiteral("MiB"));
    return 0;
}
