#include "station.h"

#include "audiodevice.h"
#include "busysettings.h"
#include "busysourcemaker.h"
#include "clock.h"
#include "identification.h"
#include "keyinglines.h"
#include "portnames.h"
#include "programvalues.h"
#include "serialline.h"
#include "settingsstore.h"

namespace {
QString logFolderOf(const StationParts &parts)
{
    return parts.logFolder.isEmpty() ? TransmissionLog::defaultFolder() : parts.logFolder;
}
} // namespace

Station::Station(const StationParts &parts, QObject *parent)
    : QObject(parent), m_parts(parts), m_engine(*parts.audio, *parts.line), m_log(logFolderOf(parts)),
      m_logger(m_engine, m_log, *parts.clock), m_schedule(m_engine, m_logger, m_log, *parts.clock),
      m_queue(m_engine, m_logger, m_schedule),
      m_lock(settingsLocation(*parts.settings), m_log.folder())
{
    connect(&m_engine, &TransmissionEngine::stateChanged, this, [this](TransmissionEngine::State state) {
        if (state == TransmissionEngine::State::Idle && m_reloadPending)
            reload();
    });
}

Station::~Station() = default;

void Station::load()
{
    applyOptions(readPuerto(settings()), readIntervalo(settings()));
    applyStation(readKeyingSettings(settings()), readSoundCardSettings(settings()),
                 readLevelSettings(settings()));
    applyIdentification(readIdentSettings(settings()));
}

void Station::applyOptions(int port, int intervalSecs)
{
    line().setCommPort(port);
    m_engine.Timer1().setInterval(intervalSecs * 1000);
    if (m_busyApplied)
        applyBusy(); // a status line read on the keying port follows it
}

// Lead and tail around each play, the lines that key the transmitter, the cap on one
// transmission, the sound cards and the level, from the next transmission on.
void Station::applyStation(const KeyingSettings &keying, const SoundCardSettings &cards, const LevelSettings &level)
{
    m_keying = keying;
    applyCards(cards);
    applyKeying();
    audio().setLevel(level);
    applyBusy();
}

void Station::applyCards(const SoundCardSettings &cards)
{
    m_cards = cards;
    audio().setOutputCard({cards.salida, cards.salidanombre});
    audio().setInputCard({cards.entrada, cards.entradanombre});
}

void Station::applyKeying()
{
    m_engine.setKeying(m_keying.retardoMs, m_keying.colaMs,
                       KeyingLines::parse(m_keying.lineas).value_or(KeyingLines()),
                       m_keying.tiempomaximoSecs * 1000);
    applyKeyer();
}

// A new keyer only when its values changed, and never while a transmission runs: the engine
// must not lose the keyer it is using. The next reload after it builds it.
void Station::applyKeyer()
{
    const KeyerSettings &k = m_keying.keyer;
    const bool same = m_keyerApplied && k == m_keyerBuilt && m_cards.salida == m_builtCard;
    if (same || m_engine.state() != TransmissionEngine::State::Idle)
        return;
    std::unique_ptr<Keyer> keyer =
        m_parts.makeKeyer ? m_parts.makeKeyer(k, m_cards.salida) : makeBasicKeyer(k, m_cards.salida);
    m_engine.setKeyer(keyer.get());
    m_keyer = std::move(keyer);
    m_keyerBuilt = k;
    m_builtCard = m_cards.salida;
    m_keyerApplied = true;
}

// Where the channel is heard busy: the source the settings choose, built afresh with the keying
// it may share a device with.
void Station::applyBusy(const BusySettings &busy)
{
    if (m_engine.state() != TransmissionEngine::State::Idle)
        return;
    BusySourceContext context;
    context.entrada = {m_cards.entrada, m_cards.entradanombre};
    context.keyingPort = line().commPort();
    SettingsStore *store = m_parts.settings;
    context.deviceForPort = [store](int port) { return serialDeviceForPort(*store, port); };
    context.keyingLine = &line();
    context.outputCardId = m_cards.salida;
    context.sound = m_parts.sound;
    context.keyerSettings = &m_keyerBuilt;
    context.keyer = &m_engine.keyer();
    // The same source goes on hearing the channel: its clear time is not thrown away on a reload
    // that changed nothing it depends on.
    const BusySourceContext &was = m_busyContext;
    if (m_busyApplied && busy == m_busyBuilt && context.entrada.id == was.entrada.id &&
        context.entrada.description == was.entrada.description &&
        context.keyingPort == was.keyingPort && context.outputCardId == was.outputCardId &&
        context.keyer == was.keyer && m_keyerBuilt == m_busyKeyer)
        return;
    std::unique_ptr<BusySource> source =
        m_parts.makeBusySource ? m_parts.makeBusySource(busy, context) : makeBusySource(busy, context);
    m_channelWatch.watch(std::move(source), busy, busySettingsProblem(busy));
    m_engine.setChannelWatch(&m_channelWatch);
    m_busyBuilt = busy;
    m_busyContext = context;
    m_busyKeyer = m_keyerBuilt;
    m_busyApplied = true;
}

void Station::applyIdentification(const IdentSettings &values)
{
    Identification *identification = m_parts.identification;
    if (!identification)
        return;
    identification->setSettings(values);
    m_engine.setIdentification(identification);
}

void Station::runIdentification()
{
    if (m_identRunner || !m_parts.identification)
        return;
    m_identRunner = std::make_unique<IdentRunner>(m_engine, m_logger, *m_parts.identification, *m_parts.clock);
    m_identRunner->setHeld([this] { return m_schedule.held(); });
    connect(m_identRunner.get(), &IdentRunner::failed, this, &Station::identificationFailed);
}

bool Station::claim(const QString &what)
{
    // A lock that cannot be made at all cannot tell: the schedule runs, as it did before there was one.
    return m_lock.acquire(what) || !m_lock.error().isEmpty();
}

bool Station::startSchedule(const QString &what, const QDateTime &dueFrom)
{
    if (!claim(what))
        return false;
    m_scheduleStarted = true;
    m_schedule.start(settings(), dueFrom);
    return true;
}

QString Station::scheduleHolder() const
{
    return StationLock::describe(m_lock.holder());
}

void Station::reload()
{
    if (m_engine.state() != TransmissionEngine::State::Idle) {
        m_reloadPending = true;
        return;
    }
    m_reloadPending = false;
    load();
    if (m_scheduleStarted)
        m_schedule.scheduler().load(settings());
    emit reloaded();
}
