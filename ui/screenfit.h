#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// Room kept around a window's client area for the frame the window manager draws (title bar
// above, borders elsewhere).
constexpr QMargins kWindowFrame(8, 32, 8, 8);

// Where a dialog of the wanted client size opens on a screen's available area: no larger than
// the area less the frame, no smaller than minimum unless the area is, centred on the area.
QRect fittedGeometry(const QSize &wanted, const QSize &minimum, const QRect &available);

// Sizes the dialog so by the screen of its parent (or its own) before it is shown, and places one
// without a parent (one with a parent is centred on it and kept on the screen when shown):
// a dialog with more to show than fits scrolls inside, never off the screen. A dialog of fixed
// size is only moved into the area.
void fitToScreen(QWidget *dialog, const QSize &wanted);
