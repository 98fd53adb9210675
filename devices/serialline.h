#pragma once

#include "keyinglines.h"

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
    // Line writes never throw; on a closed port they change nothing.
    virtual void setDTREnable(bool on) = 0;
    virtual void setRTSEnable(bool on) = 0;
    // Which lines key the transmitter and at which level; set while the port is closed.
    virtual void setKeyingLines(const KeyingLines &lines) = 0;
};
