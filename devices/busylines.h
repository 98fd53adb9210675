#pragma once

#include "keyersettings.h"

#include <QString>

// Which input of a device tells that the channel is busy, and at which level: a serial port's
// status line (CTS, DSR, DCD, RI), a CM108 input bit (VOL_UP, VOL_DN, MUTE_PLAY, MUTE_REC) or a
// GPIO line, each with "!" in front when it is active-low. Names are read whatever their case.
struct BusyInput
{
    int mask = 0; // the bit among the device's inputs; 0 when the text names none
    bool activeLow = false;

    bool valid() const { return mask != 0; }
    // Whether the inputs, as the device reports them, say "busy".
    bool busyIn(int inputs) const { return ((inputs & mask) != 0) != activeLow; }
    // The same as 1 busy, 0 clear, or -1 when the inputs could not be read (negative).
    int stateIn(int inputs) const { return inputs < 0 ? -1 : busyIn(inputs) ? 1 : 0; }
};

// The serial status lines, as SerialLine::statusLines reports them.
BusyInput parseSerialBusyLine(const QString &text);
// The CM108 input bits, as the first byte of its HID input report carries them.
BusyInput parseCm108BusyInput(const QString &text);
// "<chip>:<line>" with "!" before the chip or the line for active-low; invalid when malformed.
GpioLine parseGpioBusyLine(const QString &text);

// The operator's texts for a value that names no input.
QString serialBusyLineProblem(const QString &text);
QString cm108BusyInputProblem(const QString &text);
QString gpioBusyLineProblem(const QString &text);
