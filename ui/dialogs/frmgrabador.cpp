#include "frmgrabador.h"

#include "frmprincipal.h"

frmgrabador::frmgrabador(Frmprincipal &main, const QString &previousFileName)
    : QDialog(&main), m_main(main), m_previousFileName(previousFileName)
{
}
