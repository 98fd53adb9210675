#pragma once

#include <QObject>
#include <QString>

#include <limits>

// Whatever tells that someone else is on the channel: the receiver's audio on a sound input, a
// squelch (carrier detect) line of a serial port, a GPIO pin or a CM108 interface, or the radio's
// own squelch through CAT. The station watches it the whole time it runs and keys only once the
// channel has been clear long enough.
//
// A source never keys anything: opening it leaves every output line as it was.
class BusySource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts watching. Throws DeviceError with the reason in Spanish when the source cannot be
    // read (missing, permission denied, not that kind of device). busy() holds the state read at
    // open, not only from the next change on.
    virtual void open() = 0;
    // Stops watching and releases the device; never throws. Closing a closed source does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Whether the channel is busy now, as last read; false while closed.
    virtual bool busy() const = 0;
    // A sound has just begun that the source cannot yet tell from a click (audio sources only): a
    // voice starting now is busy within BusyDetector::AttackMs.
    virtual bool soundStarting() const { return false; }
    // The level the source hears in dBFS, for sources that hear audio; NaN for the others.
    virtual double levelDb() const { return std::numeric_limits<double>::quiet_NaN(); }
    // Forgets what it has heard so far (the station's own transmission, its tail and echo) and
    // hears afresh from now on; heardAfresh() gives the first reading of its own, at once where
    // nothing heard is remembered. Only called while open.
    virtual void listenAfresh() { emit heardAfresh(busy()); }
    // What is read, for the operator: "entrada «…», umbral -40 dBFS", "COM2, DCD", "gpiochip0:17".
    virtual QString description() const = 0;

signals:
    void busyChanged(bool busy);
    // The first reading after listenAfresh().
    void heardAfresh(bool busy);
    // The level heard, a few times a second (audio sources only), for the station dialog.
    void levelChanged(double dB);
    // The source can no longer be read (unplugged, no answer): it has closed itself. reason is in
    // Spanish. A lost source is never taken for a clear channel.
    void lost(const QString &reason);
};
