#pragma once

#include "keyersettings.h"

#include <QString>

class SettingsStore;

// How the transmitter is keyed, from group "conf": lead time before the sound, tail after it,
// the keying lines, an optional cap on the length of one transmission, and what keys it.
struct KeyingSettings
{
    int retardoMs = 300;
    int colaMs = 100;
    QString lineas = QStringLiteral("DTR+RTS");
    int tiempomaximoSecs = 0; // 0: no cap
    KeyerSettings keyer;
};

// Reads a whole number: text that is no number gives the default, a number out of range is
// brought to the nearest end.
int readClampedSetting(const SettingsStore &store, const QString &key, int defaultValue, int min, int max);

KeyingSettings readKeyingSettings(const SettingsStore &store);

// Stores every value as the station dialog accepted it; false when the store could not keep one.
bool writeKeyingSettings(SettingsStore &store, const KeyingSettings &values);
