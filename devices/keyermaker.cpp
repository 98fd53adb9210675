#include "keyermaker.h"

#include "deviceerror.h"
#include "serialkeyer.h"

void RefusingKeyer::open()
{
    throw DeviceError(m_reason);
}

std::unique_ptr<Keyer> makeBasicKeyer(const KeyerSettings &settings, const QString &)
{
    if (const QString problem = keyerSettingsProblem(settings); !problem.isEmpty())
        return std::make_unique<RefusingKeyer>(problem, settings.metodoName(), true);
    switch (settings.metodo) {
    case KeyerSettings::Method::Serie:
        return nullptr;
    case KeyerSettings::Method::Ninguno:
        return std::make_unique<NoKeyer>();
    default:
        return std::make_unique<RefusingKeyer>(
            QStringLiteral("Esta instalación no puede activar el transmisor por «%1».")
                .arg(KeyerSettings::methodName(settings.metodo)),
            KeyerSettings::methodName(settings.metodo));
    }
}
