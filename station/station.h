#pragma once

#include "busysourcemaker.h"
#include "channelwatch.h"
#include "enginelogger.h"
#include "identrunner.h"
#include "identsettings.h"
#include "keyermaker.h"
#include "keyingsettings.h"
#include "levelsettings.h"
#include "schedulerunner.h"
#include "sendqueue.h"
#include "soundcardsettings.h"
#include "stationlock.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QObject>

#include <memory>

class AudioDevice;
class BusySource;
class Clock;
class Identification;
class SerialLine;
class SettingsStore;
class SoundServer;

// What a station is built on. The devices, the store and the clock belong to the caller and
// outlive the station.
struct StationParts
{
    AudioDevice *audio = nullptr;
    SerialLine *line = nullptr;
    SettingsStore *settings = nullptr;
    const Clock *clock = nullptr;
    // The log's folder: the user's state folder when empty.
    QString logFolder;
    // Builds the keyer of a method other than the serial line; empty: the serial line and VOX only.
    KeyerMaker makeKeyer;
    // The station's identification as sound; null: the station never identifies.
    Identification *identification = nullptr;
    // Builds the source that hears whether the channel is busy; empty: the real sources.
    BusySourceMaker makeBusySource;
    // The sound server that hears the receiver for "ocupado=audio"; null: it cannot be heard.
    SoundServer *sound = nullptr;
};

// One station: the engine that keys and plays, the keyer, the log and its writer, the schedule
// and the identification, with the stored settings applied to them in one place. The window and
// the command line each run one; neither wires these parts itself.
class Station : public QObject
{
    Q_OBJECT
public:
    explicit Station(const StationParts &parts, QObject *parent = nullptr);
    ~Station() override;

    TransmissionEngine &engine() { return m_engine; }
    const TransmissionEngine &engine() const { return m_engine; }
    TransmissionLog &log() { return m_log; }
    EngineLogger &logger() { return m_logger; }
    ScheduleRunner &schedule() { return m_schedule; }
    // Messages other programs hand to the station.
    SendQueue &queue() { return m_queue; }
    SettingsStore &settings() { return *m_parts.settings; }
    const Clock &clock() const { return *m_parts.clock; }
    AudioDevice &audio() { return *m_parts.audio; }
    SerialLine &line() { return *m_parts.line; }
    const KeyerMaker &makeKeyer() const { return m_parts.makeKeyer; }
    Identification *identification() const { return m_parts.identification; }
    const KeyingSettings &keying() const { return m_keying; }
    const SoundCardSettings &cards() const { return m_cards; }

    // Everything stored, from the next transmission on: the port, the pause of a loop, the
    // keying, the sound cards, the level, the identification and the busy channel.
    void load();
    // The port number and the pause of a loop in seconds.
    void applyOptions(int port, int intervalSecs);
    void applyStation(const KeyingSettings &keying, const SoundCardSettings &cards, const LevelSettings &level);
    // The cards alone, on the audio device: all a window needs that records and opens messages
    // for a station another process runs.
    void applyCards(const SoundCardSettings &cards);
    // The keying the station runs with, again on the engine and its serial line (a test
    // transmission borrows the line with values of its own).
    void applyKeying();
    void applyIdentification(const IdentSettings &values);
    // The identification goes out on its own every so often ("cada") from now on.
    void runIdentification();
    // Runs the schedule (slots missed since the log's last line are logged as such), unless
    // another process runs the schedule of the same settings: then false, and scheduleHolder()
    // says who, for the operator. what names this one to such a process: "ventana", "programa".
    // dueFrom: when taking over from another process, when it was last known alive; the slots
    // since then it did not log still go out.
    bool startSchedule(const QString &what, const QDateTime &dueFrom = QDateTime());
    // Takes the schedule's lock without starting it: false when another process holds it.
    bool claim(const QString &what);
    bool scheduleRunning() const { return m_scheduleStarted; }
    QString scheduleHolder() const;
    // Reads the store again after something else changed it: what load() reads, and the
    // schedule's entries when it runs. While a transmission runs, once it has ended.
    void reload();

    // The source that hears whether the channel is busy, as the settings make it; null for none.
    BusySource *busySource() const { return m_channelWatch.source(); }
    // The rest of the station that source was made with (its keyer, cards and port).
    const BusySourceContext &busyContext() const { return m_busyContext; }
    // Where the channel is heard busy from now on: values the operator accepted, even when the
    // store could not keep them. Not while a transmission runs.
    void applyBusy(const BusySettings &busy);
    ChannelWatch &channelWatch() { return m_channelWatch; }

signals:
    // reload() has applied the stored settings.
    void reloaded();
    // The identification on its own could not be made (the reason, in Spanish); nothing was keyed.
    void identificationFailed(const QString &reason);

private:
    void applyKeyer();
    void applyBusy() { applyBusy(readBusySettings(settings())); }

    StationParts m_parts;
    KeyingSettings m_keying;
    SoundCardSettings m_cards;
    // What keys the transmitter when it is not the serial line, and the values it was built from.
    std::unique_ptr<Keyer> m_keyer;
    KeyerSettings m_keyerBuilt;
    QString m_builtCard;
    bool m_keyerApplied = false;
    // Its source may read through the keyer or the serial line: it goes before them.
    ChannelWatch m_channelWatch;
    BusySettings m_busyBuilt;
    BusySourceContext m_busyContext;
    KeyerSettings m_busyKeyer;
    bool m_busyApplied = false;
    // Declared after the devices it drives, so that it unkeys and releases them before they go.
    TransmissionEngine m_engine;
    // The log outlives its writers, which log a transmission still running as they go.
    TransmissionLog m_log;
    EngineLogger m_logger;
    ScheduleRunner m_schedule;
    SendQueue m_queue;
    std::unique_ptr<IdentRunner> m_identRunner;
    StationLock m_lock;
    bool m_scheduleStarted = false;
    bool m_reloadPending = false;
};
