#pragma once

#include <QString>

// What the transmission engine tells the operator when a transmission cannot start or go on.
namespace EngineTexts {
inline const QString kSendError =
    QStringLiteral("No se puede enviar el mensaje. Compruebe que estea el puerto libre o bien "
                   "configurado y vuelva ha intentarlo.");
inline const QString kGuardError =
    QStringLiteral("La transmisión se ha cortado por seguridad: el transmisor llevaba en el "
                   "aire más tiempo del permitido. Compruebe el dispositivo de sonido.");
inline const QString kPlayError =
    QStringLiteral("No se ha podido reproducir el mensaje hasta el final. Se ha dejado de "
                   "transmitir. Compruebe el dispositivo de sonido y vuelva a intentarlo.");
inline const QString kKeyerLost =
    QStringLiteral("Se ha perdido el dispositivo que maneja el transmisor, %1. Se ha dejado de "
                   "transmitir. Compruebe que esté conectado y vuelva a intentarlo.");
inline const QString kKeyUpError =
    QStringLiteral("No se ha podido activar el transmisor por %1. No se ha transmitido nada. "
                   "Compruebe el dispositivo y vuelva a intentarlo.");
inline const QString kKeyUpUnanswered =
    QStringLiteral("El dispositivo que maneja el transmisor, %1, no ha confirmado la transmisión en "
                   "%2 segundos. No se ha transmitido nada. Compruebe que esté conectado y encendido.");
inline const QString kChannelBusy =
    QStringLiteral("El canal ha seguido ocupado: se ha esperado %1 segundos a que quedase libre y no se "
                   "ha transmitido nada. Vuelva a intentarlo más tarde.");
inline const QString kChannelUnreadable =
    QStringLiteral("No se puede saber si el canal está libre. No se ha transmitido nada. Compruebe la "
                   "fuente de «ocupado» en la estación y vuelva a intentarlo.");

// Seconds with one decimal, as the operator reads them: "5,0".
inline QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}
} // namespace EngineTexts
