#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

#include <optional>

class SettingsStore;

// The program-wide values: the serial port number (COM1 = 1) and the pause of a loop in seconds.
struct ProgramValues
{
    quint8 puertocom = 0;
    quint8 intervalosegs = 0;
};

inline const QString kApplication = QStringLiteral("Pregonal");
inline const QString kSection = QStringLiteral("conf");

// Reads text as a whole decimal number from 0 to 255; anything else gives nothing.
std::optional<quint8> toUnsigned8(const QString &text);

// Reads a numeric setting of "conf"; text that is no number from 0 to 255 gives the default.
quint8 readByteSetting(const SettingsStore &store, const QString &key, quint8 defaultValue);

// The two values the options dialog keeps in "conf": the port number ("puerto", default 2) and
// the pause of a loop in seconds ("intervalo", default 10), each read as above.
quint8 readPuerto(const SettingsStore &store);
quint8 readIntervalo(const SettingsStore &store);
// The writers return whether the store really keeps the value.
bool writePuerto(SettingsStore &store, int port);
bool writeIntervalo(SettingsStore &store, int seconds);
// Stores each key and text of "conf"; all are tried, and the result says whether all were kept.
bool writeConfValues(SettingsStore &store, const QList<QPair<QString, QString>> &values);
// The file that holds the program's settings, for messages to the operator.
QString settingsLocation(const SettingsStore &store);

// The device the operator gave a port number in group "puertos", key "COMn" (blanks around it
// ignored), or an empty name.
QString readPortDevice(const SettingsStore &store, int port);
