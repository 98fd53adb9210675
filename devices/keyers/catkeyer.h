#pragma once

#include "keyer.h"

#include <QString>
#include <QThread>

class CatRig;

// Keys the radio through its own CAT command with Hamlib: a model number (2: a rigctld on the
// network), the CAT port (a serial device, or "host:port" for rigctld) and its speed (0: the
// model's own).
//
// Every Hamlib call runs on one thread of its own, in the order asked, so that no wait for the
// radio holds the window up: open returns at once after checking what it can without the radio;
// the radio's own open, and its failure, come with the first key-up. A key-up is confirmed when
// the radio has answered it. The CAT port's own DTR and RTS stay low (many interfaces key on
// them), and the radio is told "receive" as soon as it is open and before it is closed.
class CatKeyer : public Keyer
{
    Q_OBJECT
public:
    // How long Hamlib waits for one answer of the radio.
    static constexpr int AnswerMs = 2000;

    CatKeyer(int model, const QString &port, int speed, QObject *parent = nullptr);
    // Unkeys and closes the radio, waiting for that (a few seconds at most).
    ~CatKeyer() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void keyUp() override;
    void keyDown() override;
    bool check() override;
    // A model Hamlib does not know.
    QString settingsProblem() const override;
    QString description() const override;

    // Keeps the radio open between the keyer's opens, so that its squelch can be read the whole
    // time on the same session (one open of the radio's port); close then only tells it
    // "receive". true checks the port as open does, and throws the same way.
    void setHeld(bool held);
    bool held() const { return m_held; }
    // Asks the radio its squelch; squelchRead() brings the answer.
    void readSquelch();

signals:
    // state: 1 someone on the channel, 0 clear, -1 not known (failure says why, in Spanish).
    void squelchRead(int state, const QString &failure);

private:
    void checkPort() const;
    void answered(bool on, quint64 request, const QString &failure, bool lost);

    int m_model;
    QString m_port;
    int m_speed;
    QThread m_thread;
    CatRig *m_rig = nullptr; // lives on m_thread
    bool m_open = false;
    bool m_held = false;
    bool m_lost = false;
    quint64 m_requests = 0;
    quint64 m_awaited = 0; // the key-up whose answer may confirm; 0: none
};
