#pragma once

#include <QString>

class SettingsStore;

// How the station identifies itself, from group "conf": the callsign, when (never, at the end of
// every transmission, or on its own at most every identcadaMin minutes after it has transmitted),
// a voice file to use instead of Morse, and the Morse's speed, tone and level.
struct IdentSettings
{
    enum class Mode { No, Final, Cada };

    QString indicativo;
    Mode identificacion = Mode::No;
    int identcadaMin = 10;
    QString identarchivo;
    int cwvelocidadWpm = 20;
    int cwtonoHz = 800;
    int cwnivelDb = -12;

    bool active() const { return identificacion != Mode::No; }
    // What goes on the air: " DE <indicativo>" as Morse text.
    QString morseText() const { return QStringLiteral("DE ") + indicativo; }
    static QString modeName(Mode mode);
};

// Letters, digits and '/', at least one; the letters given in upper case. Anything else: empty.
QString normalizedCallsign(const QString &text);

IdentSettings readIdentSettings(const SettingsStore &store);
bool writeIdentSettings(SettingsStore &store, const IdentSettings &values);
