#pragma once

#include <QString>

class SettingsStore;

// What keys the transmitter, from group "conf": the serial lines (as the options and "lineas"
// say), the GPIO pin of a CM108-family USB sound chip, a GPIO line of the computer, the radio's
// own CAT command through Hamlib, or nothing at all (the interface's VOX).
struct KeyerSettings
{
    enum class Method { Serie, Cm108, Gpio, Cat, Ninguno };

    Method metodo = Method::Serie;
    QString cm108 = QStringLiteral("auto"); // a hidraw device, or "auto": the output card's own
    int pin = 3;                            // CM108 GPIO 1-8
    bool pinActiveLow = false;              // "!" before the pin
    QString gpio;                           // "<chip>:<line>", "!" before the line: active low
    int equipo = 2;                         // Hamlib's model number; 2: a rigctld
    QString equipopuerto = QStringLiteral("localhost:4532");
    int equipovelocidad = 0; // 0: the model's own

    static QString methodName(Method method);
    // The method a name stands for (case and blanks do not matter), or Serie.
    static Method methodFromName(const QString &name);
    QString pinText() const;

    friend bool operator==(const KeyerSettings &a, const KeyerSettings &b)
    {
        return a.metodo == b.metodo && a.cm108 == b.cm108 && a.pin == b.pin &&
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

KeyerSettings readKeyerSettings(const SettingsStore &store);
