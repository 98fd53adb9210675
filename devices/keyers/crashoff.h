#pragma once

#include <QByteArray>

// Last words for a crash: what puts a keying device "off", written by a handler of the fatal
// signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) before the signal takes its course, so that a
// program that crashes while keyed does not leave the transmitter on. Only what a plain write()
// to a file descriptor can say (a CM108 report); nothing helps against SIGKILL.
namespace crashoff {
// Arms the bytes for fd (at most 16 of them); returns the slot to disarm, or -1 when all are taken.
int arm(int fd, const QByteArray &offBytes);
void disarm(int slot);
} // namespace crashoff
