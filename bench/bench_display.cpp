// Creating, laying out and stacking N text bubbles as the chat window does during a backlog, on
// the offscreen platform: time and resident memory per bubble. The canvas stays hidden during the
// run, and events are handled between bubbles as the exchange before each message does.
#include "BenchTable.h"
#include "ProcessStats.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "bubble/CtrMsg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int kSizes[] = {1000, 10000};
// The chat window's canvas width.
constexpr int kCanvasWidthTwips = 6000;
constexpr quint32 kOperatorBackColor = 0x00FF8400;
constexpr quint32 kOperatorForeColor = 0x00FFFFFF;
constexpr quint32 kCustomerBackColor = 0x00F0E8E3;
constexpr quint32 kCustomerForeColor = 0x00000000;

// Texts of one to three lines, as a conversation has them.
QString textOf(int i) {
    QString text = QStringLiteral("Messaggio %1 con qualche parola").arg(i);
    if (i % 3 == 1)
        text += QStringLiteral("<br>e una seconda riga");
    if (i % 3 == 2)
        text += QStringLiteral(" che prosegue abbastanza a lungo da andare a capo nella bolla");
    return text;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();

    for (const int count : kSizes) {
        auto canvas = std::make_unique<QWidget>();
        canvas->resize(Units::twipsToPixels(kCanvasWidthTwips), 400);
        // The chat window has been on screen before; its canvas hides during a run.
        canvas->show();
        QCoreApplication::processEvents();
        canvas->hide();
        const ProcessStats before = ProcessStats::self();
        QElapsedTimer clock;
        clock.start();
        double topTwips = 0;
        for (int i = 0; i < count; ++i) {
            auto *bubble = new CtrMsg(canvas.get());
            const bool fromOperator = i % 2 == 0;
            bubble->move(0, Units::twipsToPixels(topTwips));
            bubble->setWidthTwips(kCanvasWidthTwips);
            bubble->show();
            bubble->setData(QStringLiteral("14:05"));
            bubble->setIdOperatore(fromOperator ? 7 : 0);
            bubble->setTesto(textOf(i));
            bubble->setBackColor(fromOperator ? kOperatorBackColor : kCustomerBackColor);
            bubble->setForeColor(fromOperator ? kOperatorForeColor : kCustomerForeColor);
            topTwips += bubble->heightTwips();
            QCoreApplication::processEvents();
        }
        canvas->resize(canvas->width(), Units::twipsToPixels(topTwips));
        canvas->show();
        QCoreApplication::processEvents();
        const double perBubbleUs = clock.nsecsElapsed() / 1000.0 / count;
        const ProcessStats after = ProcessStats::self();

        const QString n = QStringLiteral("N=%1").arg(count);
        printRow(QStringLiteral("display: create, lay out, stack a bubble, ") + n, perBubbleUs,
                 QStringLiteral("us/bubble"));
        // On a shared machine the wall time includes waiting for a core; the CPU time does not.
        printRow(QStringLiteral("display: CPU time per bubble, ") + n,
                 (after.cpuSeconds - before.cpuSeconds) * 1e6 / count, QStringLiteral("us/bubble"));
        printRow(QStringLiteral("display: resident memory per bubble, ") + n,
                 double(after.residentKiB - before.residentKiB) / count,
                 QStringLiteral("KiB/bubble"));
    }
    return 0;
}
