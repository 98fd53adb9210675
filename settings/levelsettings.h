#pragma once

#include <QString>

#include <optional>

class SettingsStore;

// The level on the air, from group "conf": the loudness every message is brought to ("nivel",
// LUFS; none: messages play as recorded) and the true-peak ceiling ("picomaximo", dBTP).
struct LevelSettings
{
    static constexpr double MinNivel = -30.0;
    static constexpr double MaxNivel = -10.0;
    static constexpr double MinPico = -12.0;
    static constexpr double MaxPico = 0.0;

    std::optional<double> nivel;
    double picomaximo = -1.0;

    bool on() const { return nivel.has_value(); }
};

// Reads a decimal number ("-23", "-23.5" or "-23,5"); anything else gives nothing.
std::optional<double> toDecimal(const QString &text);

// Empty, absent or unreadable "nivel" turns the level off; numbers out of range come to the
// nearest end.
LevelSettings readLevelSettings(const SettingsStore &store);
// Stores both values ("nivel" empty when off); false when the store could not keep one.
bool writeLevelSettings(SettingsStore &store, const LevelSettings &values);
