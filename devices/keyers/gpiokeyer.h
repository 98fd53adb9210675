#pragma once

#include "keyer.h"
#include "keyersettings.h"

#include <memory>

// One output line of a GPIO chip, as the keyer drives it: libgpiod for real, a stand-in in tests.
class GpioOutput
{
public:
    virtual ~GpioOutput() = default;
    // Requests the line as an output already at value, and keeps it requested. Throws
    // DeviceError with the reason in Spanish.
    virtual void request(const QString &chip, unsigned line, int value) = 0;
    // False when the chip is gone.
    virtual bool set(int value) = 0;
    // Gives the line back (it keeps the last value set). Never throws.
    virtual void release() = 0;
    // Whether the chip is still there.
    virtual bool present() const = 0;
};

// One input line of a GPIO chip, requested as an input and held: libgpiod, or a stand-in.
class GpioInput
{
public:
    virtual ~GpioInput() = default;
    // Throws DeviceError with the reason in Spanish.
    virtual void request(const QString &chip, unsigned line) = 0;
    // The line's level (0 or 1), or -1 when the chip is gone. Asked from a watching thread too,
    // while requested.
    virtual int value() = 0;
    virtual void release() = 0;
};

// The line through libgpiod (the character device, never sysfs).
std::unique_ptr<GpioOutput> makeGpiodOutput();
std::unique_ptr<GpioInput> makeGpiodInput();

// Keys through a GPIO line ("gpio": "<chip>:<line>", "!" before the line for active low),
// requested once at open with its "off" value and held until close, which sets "off" again first.
// Key-ups are confirmed at once.
class GpioKeyer : public Keyer
{
    Q_OBJECT
public:
    explicit GpioKeyer(const QString &lineText, std::unique_ptr<GpioOutput> output = makeGpiodOutput(),
                       QObject *parent = nullptr);
    ~GpioKeyer() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void keyUp() override;
    void keyDown() override;
    bool check() override;
    QString description() const override;

private:
    bool set(bool keyed);
    void lose();

    QString m_lineText;
    GpioLine m_line;
    std::unique_ptr<GpioOutput> m_output;
    bool m_open = false;
};
