#include "screenfit.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

QRect fittedGeometry(const QSize &wanted, const QSize &minimum, const QRect &available)
{
    const QRect room = available.marginsRemoved(kWindowFrame);
    const QSize size = wanted.expandedTo(minimum).boundedTo(room.size());
    QRect geometry(QPoint(), size);
    geometry.moveCenter(room.center());
    return geometry;
}

void fitToScreen(QWidget *dialog, const QSize &wanted)
{
    QScreen *screen = dialog->parentWidget() ? dialog->parentWidget()->screen() : dialog->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (dialog->layout())
        dialog->layout()->activate();
    const bool fixed = dialog->layout() && dialog->layout()->sizeConstraint() == QLayout::SetFixedSize;
    const QRect geometry =
        fittedGeometry(fixed ? dialog->size() : wanted, dialog->minimumSize(), screen->availableGeometry());
    if (!fixed)
        dialog->resize(geometry.size());
    // Over a parent, the dialog places itself when shown: centred on it and kept on its screen.
    if (!dialog->parentWidget())
        // move() places the frame, whose client area then falls on geometry.
        dialog->move(geometry.topLeft() - QPoint(kWindowFrame.left(), kWindowFrame.top()));
}
