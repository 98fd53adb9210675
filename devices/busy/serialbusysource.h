#pragma once

#include "busylines.h"
#include "pollingbusysource.h"

#include <memory>

class SerialLine;

// A status line of a serial port (CTS, DSR, DCD or RI). On the keying port it reads through the
// keying line itself, which it holds open the whole time: one open of the port for both, so that
// watching raises no line and never makes the port busy for the keyer. On another port it opens
// a line of its own, whose DTR and RTS go to their off levels at once.
class SerialBusySource : public PollingBusySource
{
    Q_OBJECT
public:
    // line: the port to read (not owned); own: the same line when this source owns it.
    SerialBusySource(SerialLine &line, const QString &lineText, std::unique_ptr<SerialLine> own = nullptr,
                     QObject *parent = nullptr);
    ~SerialBusySource() override;

    QString description() const override;

protected:
    void openDevice() override;
    void closeDevice() override;
    int readBusy() override;
    QString lostReason() const override;
    std::function<int()> backgroundLook() override;

private:
    std::unique_ptr<SerialLine> m_own;
    SerialLine &m_line;
    QString m_lineText;
    BusyInput m_input;
    int m_lookFd = -1; // the port's status lines for the watching thread
};
