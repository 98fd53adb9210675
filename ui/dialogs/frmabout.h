#pragma once

#include <QDialog>

class Frmprincipal;

class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(Frmprincipal &main);

private:
    Frmprincipal &m_main;
};
