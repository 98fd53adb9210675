#pragma once

#include <QObject>
#include <QString>

// Whatever keys the transmitter: a serial port's lines, a GPIO pin of a USB sound chip or of the
// computer, the radio's CAT command, or nothing (VOX). The transmission cycle keys through this
// and nothing else.
//
// No implementation keys on open, on close or when destroyed: open sets the "off" level before
// anything else, close and the destructor drop the key first.
class Keyer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens the device with the transmitter unkeyed. Throws DeviceError with the reason in
    // Spanish (missing, permission denied, busy, not that kind of device).
    virtual void open() = 0;
    // Drops the key if it is up and releases the device; never throws. Closing a closed keyer
    // does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Asks for the key up. keyedUp() says when the transmitter is really keyed (possibly before
    // keyUp returns, for devices that answer at once); keyUpFailed() when it could not be.
    virtual void keyUp() = 0;
    // Drops the key; never throws, does nothing on a closed or vanished device.
    virtual void keyDown() = 0;
    // Whether the open device is still there; false when closed or gone (a gone device closes
    // quietly). Never throws.
    virtual bool check() = 0;
    // What is wrong with the values the keyer was built with, found without opening anything;
    // empty when nothing is known to be wrong.
    virtual QString settingsProblem() const { return QString(); }
    // The device for the operator: "COM3 (/dev/ttyUSB0)", "/dev/hidraw2, pin 3"...
    virtual QString description() const = 0;

signals:
    void keyedUp();
    // Nothing is keyed; reason (in Spanish, possibly empty when the device is gone) says why.
    void keyUpFailed(const QString &reason);
};
