#include "widgets/SetTopMost.h"

#include <QWidget>

void SetTopMost(QWidget *window, bool onTop) {
    if (!window)
        return;
    const QRect geometry = window->geometry();
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    // Changing the flags hides a shown window; showing it again maps it above the others.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    window->show();
    if (onTop)
        window->raise();
    window->setGeometry(geometry);
}
