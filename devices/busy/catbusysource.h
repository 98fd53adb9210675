#pragma once

#include "busysource.h"

#include <QPointer>
#include <QTimer>

#include <memory>

class CatKeyer;

// The radio's own squelch through Hamlib's rig_get_dcd, asked every PollMs on the Hamlib thread of
// a CAT keyer: the one that keys the transmitter when it is the same radio (one session, one open
// of its port), or one of its own that never keys. Until the radio's first answer the channel
// counts as busy; a radio that cannot answer is lost, never taken for a clear channel.
class CatBusySource : public BusySource
{
    Q_OBJECT
public:
    // A question on a serial link at 9600 Bd takes about 10 ms: ten a second keep the radio free
    // for the key-up while a change is seen within a tenth of a second.
    static constexpr int PollMs = 100;

    // Reads through shared (not owned; it must outlive its use here or be destroyed first).
    explicit CatBusySource(CatKeyer &shared, QObject *parent = nullptr);
    // Reads through a keyer of its own.
    explicit CatBusySource(std::unique_ptr<CatKeyer> own, QObject *parent = nullptr);
    ~CatBusySource() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool busy() const override { return m_open && m_busy; }
    QString description() const override;

    // One question to the radio, as the timer asks it (none while one is unanswered).
    void poll();

private:
    void squelchRead(int state, const QString &failure);
    void lose(const QString &why);

    std::unique_ptr<CatKeyer> m_own;
    QPointer<CatKeyer> m_rig;
    QString m_description;
    QTimer m_timer;
    bool m_open = false;
    bool m_busy = true;
    bool m_asked = false;
};
