#include "busysourcemaker.h"

#include "deviceerror.h"
#include "soundserver.h"

QString busySettingsProblem(const BusySettings &busy)
{
    if (busy.ocupado == BusySettings::Source::Unknown)
        return QStringLiteral("No se conoce la fuente «%1» para saber si el canal está ocupado: ha de ser "
                              "audio, serie, gpio, cm108, cat o ninguno.")
            .arg(busy.ocupadoText);
    return QString();
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
    case BusySettings::Source::Gpio:
    case BusySettings::Source::Cm108:
    case BusySettings::Source::Cat:
    case BusySettings::Source::Ninguno:
    case BusySettings::Source::Unknown:
        break;
    }
    if (busy.ocupado == BusySettings::Source::Ninguno)
        return nullptr;
    return std::make_unique<RefusingBusySource>(
        QStringLiteral("Esta instalación no puede leer si el canal está ocupado por «%1».").arg(name), name);
}
