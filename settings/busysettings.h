#pragma once

#include <QString>

class SettingsStore;

// Where the station hears that the channel is busy, and how long it waits for it to clear, from
// group "conf":
//   ocupado          ninguno (default: key at once, as always), audio, serie, gpio, cm108, cat
//   receptor, receptornombre   the sound input that hears the receiver (empty: "entrada")
//   umbral           dBFS above which the receiver's audio is busy (-40)
//   ocupadolinea     the serial port's status line: CTS, DSR, DCD or RI, "!" for active-low (DCD)
//   ocupadopuerto    the port number of that line; 0 or absent: the keying port (-1 or 256
//                    when out of range, refused)
//   ocupadogpio      "<chip>:<line>" of a GPIO input, "!" in front for active-low
//   ocupadocm108     the CM108 input bit: VOL_UP, VOL_DN, MUTE_PLAY or MUTE_REC, "!" for active-low
//   libre            ms the channel must have been clear before keying (2000)
//   espera           longest wait for a clear channel in seconds (120, 1 to 3600)
//   ocupadoignorar   ms after key-down during which the source is not heard (500)
// Texts that choose a line are kept as written: a malformed one is refused before keying, never
// replaced by another line.
struct BusySettings
{
    enum class Source { Ninguno, Audio, Serie, Gpio, Cm108, Cat, Unknown };

    static constexpr int MinUmbral = -90;
    static constexpr int MaxUmbral = 0;
    static constexpr int MaxLibreMs = 60000;
    static constexpr int MinEsperaSecs = 1;
    static constexpr int MaxEsperaSecs = 3600;
    static constexpr int MaxIgnorarMs = 10000;

    Source ocupado = Source::Ninguno;
    // "ocupado" as written, for the message that refuses an unknown one.
    QString ocupadoText;
    QString receptor;
    QString receptornombre;
    int umbralDb = -40;
    QString ocupadolinea = QStringLiteral("DCD");
    int ocupadopuerto = 0;
    QString ocupadogpio;
    QString ocupadocm108 = QStringLiteral("VOL_DN");
    int libreMs = 2000;
    int esperaSecs = 120;
    int ocupadoignorarMs = 500;

    bool on() const { return ocupado != Source::Ninguno; }
    static QString sourceName(Source source);
    bool operator==(const BusySettings &other) const;
    bool operator!=(const BusySettings &other) const { return !(*this == other); }
};

// Numbers out of range come to the nearest end, unreadable text gives the default; an unknown
// "ocupado" is kept as Unknown with its text (refused at send, never taken for "ninguno").
BusySettings readBusySettings(const SettingsStore &store);
// Stores every value; false when the store could not keep one.
bool writeBusySettings(SettingsStore &store, const BusySettings &values);
