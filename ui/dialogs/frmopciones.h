#pragma once

#include <QDialog>

class Frmprincipal;

class frmopciones : public QDialog
{
    Q_OBJECT
public:
    explicit frmopciones(Frmprincipal &main);

private:
    Frmprincipal &m_main;
};
