#pragma once

#include <QScrollArea>

#include <initializer_list>

// A column of groups that a dialog of fixed size shows whole where its screen has room for them,
// and scrolls inside where it has not (a small screen), so the dialog never runs off the screen.
// It follows the groups as rows show and hide.
class ScrollingColumn : public QScrollArea
{
public:
    ScrollingColumn(QWidget *dialog, std::initializer_list<QWidget *> parts);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fit();

    QWidget *m_dialog;
    QWidget *m_column;
};
