#include "serialkeyer.h"

#include "serialline.h"

SerialKeyer::SerialKeyer(SerialLine &line, QObject *parent) : Keyer(parent), m_line(line) {}

// The line itself drops both lines and closes when it goes; nothing to do here.
SerialKeyer::~SerialKeyer() = default;

void SerialKeyer::open()
{
    m_line.setPortOpen(true);
}

void SerialKeyer::close()
{
    m_line.setPortOpen(false);
}

bool SerialKeyer::isOpen() const
{
    return m_line.portOpen();
}

// DTR then RTS, always as a pair. A port that closed itself on the write has gone.
void SerialKeyer::keyUp()
{
    m_line.setDTREnable(true);
    m_line.setRTSEnable(true);
    if (m_line.portOpen())
        emit keyedUp();
    else
        emit keyUpFailed(QString());
}

void SerialKeyer::keyDown()
{
    m_line.setDTREnable(false);
    m_line.setRTSEnable(false);
}

bool SerialKeyer::check()
{
    return m_line.checkPort();
}

QString SerialKeyer::description() const
{
    return m_line.portDescription();
}
