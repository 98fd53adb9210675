#include "stationtest.h"

#include "audiodevice.h"
#include "deviceerror.h"
#include "keyinglines.h"
#include "platform.h"
#include "soundserver.h"
#include "testtone.h"
#include "transmissionengine.h"

#include <QTemporaryDir>

namespace {
const QString kTitle = QStringLiteral("Pregonal");
const QString kTone = QStringLiteral("prueba.wav");
const QString kIdent = QStringLiteral("identificacion.wav");
} // namespace

StationTest::StationTest(SoundServer &sound, SerialLine &line, MessageBoxes &boxes, KeyerMaker makeKeyer,
                         QObject *parent)
    : QObject(parent), m_sound(sound), m_line(line), m_boxes(boxes), m_makeKeyer(std::move(makeKeyer))
{
}

StationTest::~StationTest()
{
    stop();
}

bool StationTest::running() const
{
    return m_engine && m_engine->state() != TransmissionEngine::State::Idle;
}

void StationTest::start(const KeyingSettings &keying, const SoundCardChoice &card, const LevelSettings &level,
                        const IdentSettings *identification)
{
    if (!prepareSound(identification, TestTone::amplitudeFor(level)))
        return;
    prepareEngine();
    // A keyer of the chosen method with the values as they stand (none: the serial line).
    m_keyer.reset();
    m_keyer = m_makeKeyer ? m_makeKeyer(keying.keyer, card.id) : makeBasicKeyer(keying.keyer, card.id);
    m_engine->setKeyer(m_keyer.get());
    m_player->setFileName(m_toneDir->filePath(identification ? kIdent : kTone));
    m_player->setOutputCard(card);
    emit starting(*m_engine);
    m_engine->setKeying(keying.retardoMs, keying.colaMs,
                        KeyingLines::parse(keying.lineas).value_or(KeyingLines()),
                        keying.tiempomaximoSecs * 1000);
    m_engine->sendOnce();
    if (!running())
        emit ended(); // refused before anything started: the engine said why
}

void StationTest::stop()
{
    if (running())
        m_engine->stop();
}

// The tone is written again only for another level; the identification each time, with the
// values as they stand.
bool StationTest::prepareSound(const IdentSettings *identification, double amplitude)
{
    m_description = identification ? identification->morseText() : QStringLiteral("tono de 1 kHz");
    if (identification && !identification->identarchivo.isEmpty())
        m_description = identification->identarchivo;
    try {
        if (!m_toneDir || amplitude != m_toneAmplitude) {
            auto dir = std::make_unique<QTemporaryDir>();
            if (!dir->isValid())
                throw DeviceError(
                    QStringLiteral("No se puede crear una carpeta temporal para el tono de prueba."));
            m_sound.writeTestTone(dir->filePath(kTone), amplitude);
            m_toneDir = std::move(dir);
            m_toneAmplitude = amplitude;
        }
        if (identification)
            m_sound.writeIdentification(m_toneDir->filePath(kIdent), *identification);
        return true;
    } catch (const DeviceError &e) {
        m_boxes.show(QStringLiteral("No se puede hacer la prueba de transmisión."), MessageBoxes::OkOnly,
                     MessageBoxes::Critical, kTitle, e.reason());
        return false;
    }
}

void StationTest::prepareEngine()
{
    if (m_engine)
        return;
    m_player = m_sound.makePlayer();
    m_engine = std::make_unique<TransmissionEngine>(*m_player, m_line);
    connect(m_engine.get(), &TransmissionEngine::failed, this,
            [this](const QString &message, const QString &cause) {
                m_boxes.show(message, MessageBoxes::OkOnly, MessageBoxes::Critical, kTitle, cause);
            });
    connect(m_engine.get(), &TransmissionEngine::stateChanged, this, [this](TransmissionEngine::State state) {
        if (state == TransmissionEngine::State::Idle)
            emit ended();
        else
            emit changed();
    });
}
