#pragma once

#include "keyer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

#include <sys/stat.h>

// The output report that sets one GPIO pin of a CM108-family USB sound chip: report id 0, a zero
// byte, the pin values, the direction mask (the pin as an output) and a zero byte. pin is 1-8;
// high is the level the pin is to take.
QByteArray cm108Report(int pin, bool high);

// What libudev tells about the sound cards and HID nodes, reduced to what the lookup needs.
struct UdevSoundCard
{
    QString idId;      // udev's ID_ID ("usb-C-Media_Electronics_Inc._USB_Audio_Device-00")
    QString idPath;    // udev's ID_PATH ("pci-0000:00:14.0-usb-0:1:1.0")
    QString usbDevice; // the sysfs path of the USB device it belongs to; empty when not USB
};
struct UdevHidraw
{
    QString devNode;   // "/dev/hidraw2"
    QString usbDevice; // as above
};

// The hidraw node of the same USB device as the card the sound server names sinkId (the sound
// servers name an ALSA card's sinks "alsa_output.<ID_ID or ID_PATH>.<profile>"). Empty when
// there is none; why then says so, in Spanish.
QString cm108NodeForCard(const QString &sinkId, const QList<UdevSoundCard> &cards,
                         const QList<UdevHidraw> &hidraws, QString *why);

// The same on this machine's devices, through libudev.
QString cm108NodeForCard(const QString &sinkId, QString *why);

// Keys through a GPIO pin of a CM108-family chip, by writing output reports to its hidraw node
// (or "auto": the node of the output card's own chip). The "off" report is the first thing
// written after open and the last before close, and a crash writes it too. Key-ups are confirmed
// at once. Only a hidraw character device is opened: anything else is refused before it is.
class Cm108Keyer : public Keyer
{
    Q_OBJECT
public:
    using NodeFinder = std::function<QString(const QString &sinkId, QString *why)>;
    // StandIns: a FIFO or an ordinary file may stand for the node (tests only; no setting
    // reaches this).
    enum class Nodes { HidrawOnly, StandIns };

    Cm108Keyer(const QString &device, int pin, bool activeLow, const QString &outputCardId,
               NodeFinder finder = nullptr, Nodes nodes = Nodes::HidrawOnly, QObject *parent = nullptr);
    ~Cm108Keyer() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    void keyUp() override;
    void keyDown() override;
    bool check() override;
    QString description() const override;

private:
    bool write(bool keyed);
    void forget();

    QString m_device;
    int m_pin;
    bool m_activeLow;
    QString m_outputCardId;
    NodeFinder m_finder;
    Nodes m_nodes;
    QString m_node;
    int m_fd = -1;
    int m_crashSlot = -1; // the "off" report a crash writes
};

// The node a "cm108" value names: the value itself, or with "auto" the hidraw node of the output
// card's own chip (through finder, or libudev when null). Throws DeviceError when there is none.
QString cm108Node(const QString &device, const QString &outputCardId, const Cm108Keyer::NodeFinder &finder);
// Opens that node for access (O_RDONLY, O_WRONLY) without blocking, after making sure it is a
// hidraw device (or, with StandIns, a FIFO or a file); throws DeviceError with the reason.
int openCm108Node(const QString &node, int access, Cm108Keyer::Nodes nodes);
