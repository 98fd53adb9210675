#pragma once

#include <QString>

class SettingsStore;

// What keys the transmitter, from group "conf": the serial lines (as the options and "lineas"
// say), the GPIO pin of a CM108-family USB sound chip, a GPIO line of the computer, the radio's
// own CAT command through Hamlib, or nothing at all (the interface's VOX).
struct KeyerSettings
{
    // Unknown: a name no method has (kept in metodoText); it keys nothing.
    enum class Method { Serie, Cm108, Gpio, Cat, Ninguno, Unknown };

    Method metodo = Method::Serie;
    QString metodoText;                     // the name as stored, when it is Unknown
    QString cm108 = QStringLiteral("auto"); // a hidraw device, or "auto": the output card's own
    int pin = 3;                            // CM108 GPIO 1-8; kept as stored when out of range
    bool pinActiveLow = false;              // "!" before the pin
    QString gpio;                           // "<chip>:<line>", "!" before the line: active low
    int equipo = 2;                         // Hamlib's model number; 2: a rigctld. Not clamped
    QString equipopuerto = QStringLiteral("localhost:4532");
    int equipovelocidad = 0; // 0: the model's own

    static QString methodName(Method method);
    // The method a name stands for (case and blanks do not matter): Serie when empty, Unknown
    // when no method has it.
    static Method methodFromName(const QString &name);
    // The stored names, for the operator: "serie, cm108, gpio, cat o ninguno".
    static QString methodNames();
    QString pinText() const;
    // The method as "metodo" names it: an unknown one as it was written.
    QString metodoName() const { return metodo == Method::Unknown ? metodoText : methodName(metodo); }

    friend bool operator==(const KeyerSettings &a, const KeyerSettings &b)
    {
        return a.metodo == b.metodo && a.metodoText == b.metodoText && a.cm108 == b.cm108 && a.pin == b.pin &&
               a.pinActiveLow == b.pinActiveLow && a.gpio == b.gpio && a.equipo == b.equipo &&
               a.equipopuerto == b.equipopuerto && a.equipovelocidad == b.equipovelocidad;
    }
    friend bool operator!=(const KeyerSettings &a, const KeyerSettings &b) { return !(a == b); }
};

// A GPIO line as "gpio" gives it: "gpiochip0:17", "0:17", "/dev/gpiochip1:!4".
struct GpioLine
{
    QString chip; // a name, a number or a path, as libgpiod looks it up
    unsigned line = 0;
    bool activeLow = false;
    bool valid = false;

    static GpioLine parse(const QString &text);
};

// Whether "equipopuerto" names a rigctld on the network ("host:port") rather than a device path.
bool isNetworkCatPort(const QString &port);

// What makes the chosen method's values unusable, in Spanish, or empty when they can be tried:
// an unknown method, a pin, line or radio model out of range, a malformed line or network port.
// Nothing is opened or looked up; whether the device is there is for the keyer to find.
QString keyerSettingsProblem(const KeyerSettings &settings);

// Values that choose a device or a line are kept as stored (an out-of-range one is refused before
// keying, never moved to another line); absent or empty ones, and text that is no number, take
// the defaults.
KeyerSettings readKeyerSettings(const SettingsStore &store);
