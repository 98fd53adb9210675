#pragma once

#include "identsettings.h"

#include <QString>

// What the transmission engine asks before a message goes on the air: the station's
// identification after it, in the same key period.
class Identification
{
public:
    virtual ~Identification() = default;

    // From the next transmission on.
    virtual void setSettings(const IdentSettings &settings) = 0;
    virtual const IdentSettings &settings() const = 0;
    // A sound file holding message, a short gap and the identification, to be played in its
    // place; empty when this transmission does not identify. Throws DeviceError, in Spanish, when
    // the identification cannot be made: nothing is then keyed.
    virtual QString withIdentification(const QString &message) = 0;
    // The identification alone, as a sound file to send, whatever the mode. Throws DeviceError.
    virtual QString alone() = 0;
};
