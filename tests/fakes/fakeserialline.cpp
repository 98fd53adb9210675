#include "fakeserialline.h"

#include "deviceerror.h"

FakeSerialLine::FakeSerialLine(std::shared_ptr<QStringList> sharedLog) : log(std::move(sharedLog)) {}

FakeSerialLine::~FakeSerialLine()
{
    if (destroyedKeyed)
        *destroyedKeyed = dtr || rts || m_open;
}

void FakeSerialLine::setCommPort(int port)
{
    m_commPort = port;
    log->append(QStringLiteral("CommPort=%1").arg(port));
}

void FakeSerialLine::setPortOpen(bool open)
{
    if (open) {
        if (m_open || failOpen || m_vanished)
            throw DeviceError(QStringLiteral("puerto ocupado"));
        m_open = true;
        log->append(QStringLiteral("PortOpen=1"));
        return;
    }
    log->append(QStringLiteral("PortOpen=0"));
    dtr = rts = false;
    m_open = false;
}

void FakeSerialLine::setDTREnable(bool on)
{
    log->append(QStringLiteral("DTR=%1").arg(on ? 1 : 0));
    if (m_open && !lost())
        dtr = on;
}

void FakeSerialLine::setRTSEnable(bool on)
{
    log->append(QStringLiteral("RTS=%1").arg(on ? 1 : 0));
    if (m_open && !lost())
        rts = on;
}

bool FakeSerialLine::checkPort()
{
    return m_open && !lost();
}

// A vanished device is found on the next use: the port closes by itself, nothing keyed.
bool FakeSerialLine::lost()
{
    if (!m_vanished || !m_open)
        return false;
    m_open = false;
    dtr = rts = false;
    log->append(QStringLiteral("lost"));
    return true;
}
