#pragma once

class QWidget;

// Shows the window above the others (or takes it out of that band) without giving it the focus
// and without moving or resizing it.
void SetTopMost(QWidget *window, bool onTop);
