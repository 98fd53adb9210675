#include "busysourcemaker.h"

#include "busy/catbusysource.h"
#include "busy/cm108busysource.h"
#include "busy/gpiobusysource.h"
#include "busy/serialbusysource.h"
#include "busylines.h"
#include "catkeyer.h"
#include "deviceerror.h"
#include "keyersettings.h"
#include "qtserialline.h"
#include "soundserver.h"

QString busySettingsProblem(const BusySettings &busy)
{
    switch (busy.ocupado) {
    case BusySettings::Source::Unknown:
        return QStringLiteral("No se conoce la fuente «%1» para saber si el canal está ocupado: ha de ser "
                              "audio, serie, gpio, cm108, cat o ninguno.")
            .arg(busy.ocupadoText);
    case BusySettings::Source::Serie:
        if (busy.ocupadopuerto < 0 || busy.ocupadopuerto > 255)
            return QStringLiteral("El puerto de la línea de ocupado ha de ser un número de 1 a 255, o 0 para "
                                  "el puerto del transmisor.");
        return serialBusyLineProblem(busy.ocupadolinea);
    case BusySettings::Source::Gpio:
        return gpioBusyLineProblem(busy.ocupadogpio);
    case BusySettings::Source::Cm108:
        return cm108BusyInputProblem(busy.ocupadocm108);
    default:
        return QString();
    }
}

void RefusingBusySource::open()
{
    throw DeviceError(m_reason);
}

SoundCardChoice receiverCard(const BusySettings &busy, const SoundCardChoice &entrada)
{
    if (busy.receptor.isEmpty() && busy.receptornombre.isEmpty())
        return entrada;
    return {busy.receptor, busy.receptornombre};
}

bool sameBusySource(const BusySettings &a, const BusySourceContext &inA, const BusySettings &b,
                    const BusySourceContext &inB)
{
    if (a.ocupado != b.ocupado || a.ocupadoText != b.ocupadoText)
        return false;
    const KeyerSettings none;
    const KeyerSettings &keyerA = inA.keyerSettings ? *inA.keyerSettings : none;
    const KeyerSettings &keyerB = inB.keyerSettings ? *inB.keyerSettings : none;
    const auto port = [](const BusySettings &busy, const BusySourceContext &in) {
        return busy.ocupadopuerto == 0 ? in.keyingPort : busy.ocupadopuerto;
    };
    switch (a.ocupado) {
    case BusySettings::Source::Audio: {
        // A card is found by its id first: a description seen since does not make it another card.
        const SoundCardChoice cardA = receiverCard(a, inA.entrada);
        const SoundCardChoice cardB = receiverCard(b, inB.entrada);
        const bool sameCard = cardA.id.isEmpty() && cardB.id.isEmpty() ? cardA.description == cardB.description
                                                                        : cardA.id == cardB.id;
        return sameCard && a.umbralDb == b.umbralDb;
    }
    case BusySettings::Source::Serie:
        return a.ocupadolinea == b.ocupadolinea && port(a, inA) == port(b, inB);
    case BusySettings::Source::Gpio:
        return a.ocupadogpio == b.ocupadogpio;
    case BusySettings::Source::Cm108:
        return a.ocupadocm108 == b.ocupadocm108 && keyerA.cm108 == keyerB.cm108 &&
               inA.outputCardId == inB.outputCardId;
    case BusySettings::Source::Cat: // shares the CAT keyer's session, or opens the radio it names
        return keyerA == keyerB;
    case BusySettings::Source::Ninguno:
    case BusySettings::Source::Unknown:
        break;
    }
    return true;
}

namespace {
std::unique_ptr<BusySource> makeSerialSource(const BusySettings &busy, const BusySourceContext &context)
{
    // The keying port is read through the keying line: one open for both.
    if (context.keyingLine && (busy.ocupadopuerto == 0 || busy.ocupadopuerto == context.keyingPort))
        return std::make_unique<SerialBusySource>(*context.keyingLine, busy.ocupadolinea);
    if (!context.deviceForPort)
        return std::make_unique<RefusingBusySource>(
            QStringLiteral("No se sabe qué dispositivo es el puerto de la línea de ocupado."),
            BusySettings::sourceName(busy.ocupado));
    auto own = std::make_unique<QtSerialLine>(context.deviceForPort);
    own->setCommPort(busy.ocupadopuerto == 0 ? context.keyingPort : busy.ocupadopuerto);
    SerialLine &line = *own;
    return std::make_unique<SerialBusySource>(line, busy.ocupadolinea, std::move(own));
}

// The radio that keys the transmitter is asked on its own session; any other through one of its own.
std::unique_ptr<BusySource> makeCatSource(const BusySourceContext &context)
{
    if (auto *keyer = qobject_cast<CatKeyer *>(context.keyer))
        return std::make_unique<CatBusySource>(*keyer);
    const KeyerSettings radio = context.keyerSettings ? *context.keyerSettings : KeyerSettings();
    return std::make_unique<CatBusySource>(
        std::make_unique<CatKeyer>(radio.equipo, radio.equipopuerto, radio.equipovelocidad));
}
} // namespace

std::unique_ptr<BusySource> makeBusySource(const BusySettings &busy, const BusySourceContext &context)
{
    const QString name = BusySettings::sourceName(busy.ocupado);
    if (const QString problem = busySettingsProblem(busy); !problem.isEmpty())
        return std::make_unique<RefusingBusySource>(problem, busy.ocupadoText);
    switch (busy.ocupado) {
    case BusySettings::Source::Audio:
        if (auto source = context.sound ? context.sound->makeReceiverListener(
                                              receiverCard(busy, context.entrada), busy.umbralDb)
                                        : nullptr)
            return source;
        return std::make_unique<RefusingBusySource>(
            QStringLiteral("Esta instalación no puede escuchar el audio del receptor."), name);
    case BusySettings::Source::Serie:
        return makeSerialSource(busy, context);
    case BusySettings::Source::Gpio:
        return std::make_unique<GpioBusySource>(busy.ocupadogpio);
    case BusySettings::Source::Cm108:
        return std::make_unique<Cm108BusySource>(
            context.keyerSettings ? context.keyerSettings->cm108 : KeyerSettings().cm108, context.outputCardId,
            busy.ocupadocm108);
    case BusySettings::Source::Cat:
        return makeCatSource(context);
    case BusySettings::Source::Ninguno:
    case BusySettings::Source::Unknown: // refused above
        break;
    }
    return nullptr;
}
