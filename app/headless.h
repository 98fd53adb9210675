#pragma once

struct Command;

// Carries out a command of the command line with no window, on the stored station settings, and
// ends the process with its exit status (it never returns). A QCoreApplication must exist.
// SIGINT, SIGTERM and SIGHUP stop it in order: the transmitter unkeyed, the log written.
[[noreturn]] int runHeadless(const Command &command);
