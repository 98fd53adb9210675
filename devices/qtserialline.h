#pragma once

#include "keyinglines.h"
#include "serialline.h"

#include <QString>

#include <functional>
#include <memory>

class QSerialPort;

// The real serial line on Qt Serial Port. deviceForPort maps a port number to the device name
// (an empty name means the number is not valid).
//
// The port opens exclusively (a second open, in this program or another, fails as busy) at
// 9600 8N1 with no flow control, and both lines go to their off level at once. Writes follow the
// keying lines: with both DTR and RTS chosen each line follows its own write; with one chosen it
// keys while either of the last two writes is on, and the other line stays low. An inverted line
// is high while off; then hang-up on close is turned off so that neither closing nor ending the
// program lowers it.
class QtSerialLine : public SerialLine
{
public:
    using PortMapper = std::function<QString(int port)>;

    explicit QtSerialLine(PortMapper deviceForPort);
    ~QtSerialLine() override;

    void setCommPort(int port) override;
    int commPort() const override;
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    bool checkPort() override;
    QString portDescription() const override;
    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;

    // Takes effect at once on an open port (the lines move to the levels the last writes call
    // for) and on every later open.
    void setKeyingLines(const KeyingLines &lines) override;
    KeyingLines keyingLines() const;

    // While held, the keyer's open and close only mark the port as the keyer's; the port itself
    // stays open, its lines at their off levels whenever the keyer has not raised them.
    void setPortHeld(bool held) override;
    int statusLines() override;
    int duplicateStatusDescriptor() override;

private:
    QString device() const;
    void openPort();
    void closePort();
    void applyLevels();
    void applyOffLevels();
    bool setLine(bool dtr, bool level);
    void forgetPort();

    PortMapper m_deviceForPort;
    int m_commPort = 1;
    KeyingLines m_lines;
    bool m_dtrWrite = false;
    bool m_rtsWrite = false;
    QString m_device;
    std::unique_ptr<QSerialPort> m_port;
    // Who has the port open: the keyer (setPortOpen), a watcher of its status lines, or both.
    bool m_keyerOpen = false;
    bool m_held = false;
    int m_openPort = 0; // the port number the open port was opened for
};
