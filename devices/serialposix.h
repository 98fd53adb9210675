#pragma once

#include <QString>

// What the serial line needs from a POSIX system beyond Qt Serial Port: reasons in Spanish for a
// device that cannot be opened, and control of the hang-up on close. CMake builds the serial
// backend only where these exist.

// Why the device at path cannot be opened as a serial port (missing, permission denied naming
// the group to join, not a character device), or an empty text when nothing stands in the way.
QString serialDeviceProblem(const QString &path);

// Whether the descriptor still reaches a terminal device (false once a USB adapter is pulled out
// or the other end of a pseudo-terminal has gone).
bool serialDeviceThere(int fd);

// Turns off the hang-up that lowers both lines when the device is last closed.
void clearHangup(int fd);

// A second descriptor for the device, so that it stays open through Qt's close (which restores
// the settings found at open, hang-up included); -1 when it cannot be had.
int holdSerialDevice(int fd);
// Closes that descriptor as the last one, with hang-up off, so the lines stay where they are.
void releaseSerialDevice(int heldFd);

// The input status lines of a terminal device as SerialLine::StatusLine bits, or -1 when they
// cannot be read.
int serialStatusLines(int fd);
