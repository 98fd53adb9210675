#pragma once

#include "serialline.h"

#include <QStringList>

#include <memory>

// Records line and port writes into the shared log; failOpen makes the next opens throw.
class FakeSerialLine : public SerialLine
{
public:
    explicit FakeSerialLine(std::shared_ptr<QStringList> log);
    ~FakeSerialLine() override;

    void setCommPort(int port) override;
    int commPort() const override { return m_commPort; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_open; }
    bool checkPort() override;
    QString portDescription() const override { return QStringLiteral("COM%1 (/dev/falso)").arg(m_commPort); }
    // The device goes away: the next line write or check finds it gone and closes the port.
    void vanish() { m_vanished = true; }
    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;
    void setKeyingLines(const KeyingLines &l) override { lines = l; }
    void setPortHeld(bool h) override
    {
        held = h;
        log->append(QStringLiteral("held=%1").arg(h ? 1 : 0));
    }
    int statusLines() override { return held && !m_vanished ? status : -1; }

    std::shared_ptr<QStringList> log;
    bool failOpen = false;
    bool dtr = false;
    bool rts = false;
    KeyingLines lines;
    bool held = false;
    int status = 0; // what statusLines() reports while held
    // Set by the destructor: whether the line was still open or keyed when destroyed.
    bool *destroyedKeyed = nullptr;

private:
    int m_commPort = 1;
    bool m_open = false;
    bool m_vanished = false;
    bool lost();
};
