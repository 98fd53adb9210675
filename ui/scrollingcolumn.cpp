#include "scrollingcolumn.h"

#include "screenfit.h"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

ScrollingColumn::ScrollingColumn(QWidget *dialog, std::initializer_list<QWidget *> parts)
    : QScrollArea(dialog), m_dialog(dialog), m_column(new QWidget)
{
    setObjectName(QStringLiteral("scrColumna"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    auto *column = new QVBoxLayout(m_column);
    column->setContentsMargins(0, 0, 0, 0);
    for (QWidget *part : parts)
        column->addWidget(part);
    setWidget(m_column);
    m_column->installEventFilter(this);
    m_dialog->installEventFilter(this);
}

bool ScrollingColumn::eventFilter(QObject *watched, QEvent *event)
{
    // Before the dialog is first laid out and shown, and whenever a row shows or hides.
    if ((watched == m_dialog && event->type() == QEvent::Polish) ||
        (watched == m_column && event->type() == QEvent::LayoutRequest))
        fit();
    return QScrollArea::eventFilter(watched, event);
}

void ScrollingColumn::fit()
{
    const QSize wanted = m_column->sizeHint();
    setFixedSize(wanted);
    int height = wanted.height();
    const QWidget *parent = m_dialog->parentWidget();
    QScreen *screen = parent ? parent->screen() : m_dialog->screen();
    if (screen && m_dialog->layout()) {
        m_dialog->layout()->invalidate();
        // The buttons, the margins and the window's frame take the rest of the screen's height.
        const int rest = m_dialog->layout()->sizeHint().height() - wanted.height() + kWindowFrame.top() +
                         kWindowFrame.bottom();
        const int room = screen->availableGeometry().height() - rest;
        height = qBound(qMin(wanted.height(), 120), room, wanted.height());
    }
    const int bar = height < wanted.height() ? verticalScrollBar()->sizeHint().width() : 0;
    setFixedSize(wanted.width() + bar, height);
}
