#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The Kenwood TS-2000 simulator (ts2000sim.py) on a pseudo-terminal, and optionally a rigctld
// (model 2 reaches it) in front of it. Both are stopped when this goes.
class RadioSim
{
public:
    struct KeyEvent
    {
        qint64 ns = 0;
        bool tx = false;
    };
    struct KeyPeriod
    {
        qint64 upNs = 0;
        qint64 downNs = 0; // 0: still keyed at the end of the log
    };

    // silent: a radio that hears but never answers.
    explicit RadioSim(bool silent = false);
    ~RadioSim();

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // The pty the radio listens on (a symbolic link to it).
    QString port() const { return m_link; }

    // Starts rigctld in front of the radio; its "host:port", or empty (error() says why).
    QString startRigctld();

    // Key-ups and key-downs so far, and the commands heard.
    QList<KeyEvent> keyEvents() const;
    QList<KeyPeriod> keyPeriods() const;
    QStringList commands() const;
    bool keyed() const;
    void clearLog();
    // The radio goes away (its cable pulled out): the simulator ends and its pty with it.
    void unplug();
    // Someone on the channel (the squelch opens) or nobody; the radio says so from then on.
    void setSquelchOpen(bool open);

private:
    QByteArray log() const;

    QTemporaryDir m_dir;
    QString m_link;
    QString m_logPath;
    QString m_error;
    QProcess m_sim;
    QProcess m_rigctld;
};
