#include "frmopciones.h"

#include "frmprincipal.h"

frmopciones::frmopciones(Frmprincipal &main) : QDialog(&main), m_main(main) {}
