// Systems without POSIX signals (Windows): nothing to catch here; the program ends through its
// window, which releases the devices. Compiles in principle; not built on the machines we test on.
#include "terminationsignals.h"

void onTerminationSignals(QObject *, std::function<void()>) {}
