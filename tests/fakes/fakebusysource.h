#pragma once

#include "busysource.h"
#include "deviceerror.h"

// A source of "busy" the test drives: setBusy() as a squelch opening or closing, starting as a
// sound just begun, lose() as a card pulled out; openError makes open() fail with that reason. With forgets, listening afresh drops
// what it heard, as the receiver's audio does.
class FakeBusySource : public BusySource
{
    Q_OBJECT
public:
    using BusySource::BusySource;

    void open() override
    {
        ++opens;
        if (!openError.isEmpty())
            throw DeviceError(openError);
        m_open = true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool busy() const override { return m_open && m_busy; }
    bool soundStarting() const override { return m_open && starting; }
    QString description() const override { return QStringLiteral("la fuente de prueba"); }
    void listenAfresh() override
    {
        ++afreshLooks;
        if (forgets)
            setBusy(false);
        emit heardAfresh(busy());
    }

    void setBusy(bool busy)
    {
        if (busy == m_busy)
            return;
        m_busy = busy;
        if (m_open)
            emit busyChanged(busy);
    }
    void lose(const QString &reason)
    {
        m_open = false;
        emit lost(reason);
    }

    QString openError;
    int opens = 0;
    bool forgets = false;
    bool starting = false;
    int afreshLooks = 0;

private:
    bool m_open = false;
    bool m_busy = false;
};
