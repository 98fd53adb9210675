#pragma once

#include <QDialog>

class QDateTime;
class QLabel;
class QPushButton;
class QTableWidget;

// The notice of scheduled transmissions that did not go out. It never waits for an answer: an
// unattended station goes on sending while it is up. Each failure adds a row; closing it means
// they have been seen, and the next failure starts a new list.
class frmavisos : public QDialog
{
    Q_OBJECT
public:
    explicit frmavisos(QWidget *parent);

    // Adds a row and shows the notice if it is hidden, without taking the keyboard from the
    // window the operator is using.
    void add(const QDateTime &when, int programa, const QString &archivo, const QString &cause);
    int count() const;
    void done(int result) override;

    QLabel *lblAvisos = nullptr;
    QTableWidget *lstAvisos = nullptr;
    QPushButton *cmdcerrar = nullptr;

signals:
    // The operator closed the notice.
    void seen();
};
