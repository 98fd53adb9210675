#pragma once

struct Command;

// Carries out a command of the command line with no window, on the stored station settings, and
// returns the exit status. A QCoreApplication must exist. SIGINT, SIGTERM and SIGHUP stop it in
// order: the transmitter unkeyed, the log written.
int runHeadless(const Command &command);
