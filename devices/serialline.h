#pragma once

#include "keyinglines.h"

#include <QString>

// The serial port whose DTR and RTS lines key the transmitter. No data ever flows.
class SerialLine
{
public:
    virtual ~SerialLine() = default;

    // Port number for the next open (COM1 = 1); never opens and never fails.
    virtual void setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    // true opens the port (both lines low afterwards) and throws DeviceError when it cannot;
    // false drops both lines and closes, and never throws.
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Whether the open port is still there: false when it is not open, or when its device has
    // gone (a USB adapter pulled out); a vanished port is closed quietly. Never throws.
    virtual bool checkPort() = 0;
    // The port and the device it stands for, for the operator: "COM3 (/dev/ttyUSB0)".
    virtual QString portDescription() const = 0;
    // Line writes never throw; on a closed port they change nothing. A write that finds the
    // device gone closes the port quietly: portOpen() then says false.
    virtual void setDTREnable(bool on) = 0;
    virtual void setRTSEnable(bool on) = 0;
    // Which lines key the transmitter and at which level; set while the port is closed.
    virtual void setKeyingLines(const KeyingLines &lines) = 0;

    // The input status lines, as statusLines() reports them.
    enum StatusLine { Cts = 0x1, Dsr = 0x2, Dcd = 0x4, Ri = 0x8 };
    // Keeps the port open between the keyer's opens, so that its status lines can be read the
    // whole time through the same open: watching then never reopens the port (which raises both
    // lines) nor makes it busy for the keyer. true opens a closed port as setPortOpen does, lines
    // at their off levels, and throws the same way; false closes it unless the keyer has it open.
    // portOpen() and the line writes still follow the keyer's own setPortOpen only.
    virtual void setPortHeld(bool held) = 0;
    // The status lines of the open or held port (StatusLine bits), or -1 when it is neither or
    // its device has gone (a gone port is closed quietly). Never throws.
    virtual int statusLines() = 0;
    // A descriptor of its own on the open or held port, whose status lines serialStatusLines()
    // reads from any thread for as long as the caller keeps it; -1 where there is none. The
    // caller closes it before letting the port go, so that the port's own close stays the last.
    virtual int duplicateStatusDescriptor() { return -1; }
};
