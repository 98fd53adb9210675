#include "frmabout.h"

#include "frmprincipal.h"

frmAbout::frmAbout(Frmprincipal &main) : QDialog(&main), m_main(main) {}
