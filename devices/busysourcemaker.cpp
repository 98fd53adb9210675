#include "busysourcemaker.h"

QString busySettingsProblem(const BusySettings &busy)
{
    if (busy.ocupado == BusySettings::Source::Unknown)
        return QStringLiteral("No se conoce la fuente «%1» para saber si el canal está ocupado: ha de ser "
                              "audio, serie, gpio, cm108, cat o ninguno.")
            .arg(busy.ocupadoText);
    return QString();
}

std::unique_ptr<BusySource> makeBusySource(const BusySettings &busy, const BusySourceContext &context)
{
    Q_UNUSED(context);
    switch (busy.ocupado) {
    case BusySettings::Source::Audio:
    case BusySettings::Source::Serie:
    case BusySettings::Source::Gpio:
    case BusySettings::Source::Cm108:
    case BusySettings::Source::Cat:
    case BusySettings::Source::Ninguno:
    case BusySettings::Source::Unknown:
        break;
    }
    return nullptr;
}
