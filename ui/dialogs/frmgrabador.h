#pragma once

#include <QDialog>

class Frmprincipal;

class frmgrabador : public QDialog
{
    Q_OBJECT
public:
    frmgrabador(Frmprincipal &main, const QString &previousFileName);

private:
    Frmprincipal &m_main;
    QString m_previousFileName;
};
