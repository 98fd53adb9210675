#pragma once

#include "clock.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <tuple>

class Frmprincipal;
class FakeFileDialog;
class FakeMessageBoxes;
class WavAudioDevice;
struct ProgramValues;

// The real main window on the real devices: the sound device on the default output (the test
// sound server) and the serial line on a pseudo-terminal named in the settings as COM1. The
// modem lines are only seen when the pty shim is preloaded (PREGONAL_LINELOG).
class RealRig
{
public:
    struct Options
    {
        Options(int lead = 300, int tail = 100, int interval = 1)
            : leadMs(lead), tailMs(tail), intervalSecs(interval)
        {
        }
        int leadMs;
        int tailMs;
        int intervalSecs;
        QString salida; // the output card, as stored in "conf" ("salida", "salidanombre")
        QString salidanombre;
        // More settings: section, key and value each.
        QList<std::tuple<QString, QString, QString>> settings;
        // When valid, the window runs on a clock the test moves (clock()), starting then.
        QDateTime clockAt;
        QList<QPair<QString, QString>> conf; // more "conf" settings (the keying method and its values)
    };
    RealRig();
    explicit RealRig(const Options &options);
    ~RealRig();

    bool ok() const { return m_window != nullptr; }
    QString error() const { return m_error; }
    Frmprincipal &window() { return *m_window; }
    WavAudioDevice &audio() { return *m_audio; }
    FakeFileDialog &files() { return *m_files; }
    FakeMessageBoxes &boxes() { return *m_boxes; }
    QString dir() const { return m_dir.path(); }
    QString logFolder() const { return m_dir.filePath(QStringLiteral("registro")); }
    // The clock the window runs on, when Options::clockAt was given.
    ManualClock *clock() const { return m_clock; }
    QString slave() const { return m_slave; }
    int master() const { return m_master; }
    // Closes the pty's master: the serial device vanishes.
    void closeMaster();
    // Opens the message at path through the window's own command (the file dialog answers path).
    void openMessage(const QString &path);

private:
    QTemporaryDir m_dir;
    int m_master = -1;
    QString m_slave;
    QString m_error;
    std::unique_ptr<ProgramValues> m_values;
    std::unique_ptr<Frmprincipal> m_window;
    WavAudioDevice *m_audio = nullptr;
    FakeFileDialog *m_files = nullptr;
    FakeMessageBoxes *m_boxes = nullptr;
    ManualClock *m_clock = nullptr;
};

// Runs the event loop until done() holds or timeoutMs pass; returns done().
bool waitUntil(const std::function<bool()> &done, int timeoutMs);

// Resident memory of this process in kB (VmRSS), and its CPU time so far in ms (user + system).
qint64 residentKb();
qint64 cpuMs();

// Whether the modem-line shim is loaded into this process.
bool ptyShimLoaded();

// Why a test on the real rig cannot run here (no test sound server, or the modem-line shim not
// preloaded with its log in PREGONAL_LINELOG); empty when it can.
QString realRigMissing();
