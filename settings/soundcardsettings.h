#pragma once

#include <QString>

class SettingsStore;

// The sound cards of the station, from group "conf": "salida" and "entrada" hold the sound
// server's name of the output for messages and of the input for recording, "salidanombre" and
// "entradanombre" their descriptions as last seen. Blanks around a value are ignored; all empty
// (or absent) means the desktop's default.
struct SoundCardSettings
{
    QString salida;
    QString salidanombre;
    QString entrada;
    QString entradanombre;
};

SoundCardSettings readSoundCardSettings(const SettingsStore &store);

// Stores the four values; false when the store could not keep one.
bool writeSoundCardSettings(SettingsStore &store, const SoundCardSettings &values);
