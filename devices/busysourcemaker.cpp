#include "busysourcemaker.h"

#include "busy/catbusysource.h"
#include "busy/cm108busysource.h"
#include "busy/gpiobusysource.h"
#include "busy/serialbusysource.h"
#include "busylines.h"
#include "catkeyer.h"
#include "keyersettings.h"
#include "qtserialline.h"

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

namespace {
std::unique_ptr<BusySource> makeSerialSource(const BusySettings &busy, const BusySourceContext &context)
{
    // The keying port is read through the keying line: one open for both.
    if (context.keyingLine && (busy.ocupadopuerto == 0 || busy.ocupadopuerto == context.keyingPort))
        return std::make_unique<SerialBusySource>(*context.keyingLine, busy.ocupadolinea);
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
    switch (busy.ocupado) {
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
    case BusySettings::Source::Audio:
    case BusySettings::Source::Ninguno:
    case BusySettings::Source::Unknown:
        break;
    }
    return nullptr;
}
