#pragma once

#include <functional>

class QObject;

// SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C) call handler on the event loop of
// context's thread, never inside the signal, so that the program can end in order.
void onTerminationSignals(QObject *context, std::function<void()> handler);
