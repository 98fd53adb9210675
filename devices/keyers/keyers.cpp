#include "keyers.h"

#include "catkeyer.h"
#include "cm108keyer.h"
#include "gpiokeyer.h"
#include "keyermaker.h"

std::unique_ptr<Keyer> makeKeyer(const KeyerSettings &settings, const QString &outputCardId)
{
    if (!keyerSettingsProblem(settings).isEmpty())
        return makeBasicKeyer(settings, outputCardId);
    switch (settings.metodo) {
    case KeyerSettings::Method::Cm108:
        return std::make_unique<Cm108Keyer>(settings.cm108, settings.pin, settings.pinActiveLow,
                                            outputCardId);
    case KeyerSettings::Method::Cat:
        return std::make_unique<CatKeyer>(settings.equipo, settings.equipopuerto, settings.equipovelocidad);
    case KeyerSettings::Method::Gpio:
        return std::make_unique<GpioKeyer>(settings.gpio);
    default:
        return makeBasicKeyer(settings, outputCardId);
    }
}
