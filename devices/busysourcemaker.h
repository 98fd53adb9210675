#pragma once

#include "busysettings.h"
#include "busysource.h"
#include "soundcardchoice.h"

#include <functional>
#include <memory>

class Keyer;
class SerialLine;
struct KeyerSettings;
class SoundServer;

// What a busy source may need of the rest of the station.
struct BusySourceContext
{
    // The input that records messages: the receiver's audio when "receptor" is empty.
    SoundCardChoice entrada;
    // The serial port that keys the transmitter, and the device a port number stands for.
    int keyingPort = 0;
    std::function<QString(int port)> deviceForPort;
    // The line on that port, for a source that reads its status lines through the same open (it
    // must outlive that source).
    SerialLine *keyingLine = nullptr;
    // The sound server's name of the card the messages go out on (a CM108 on "auto" is its chip).
    QString outputCardId;
    // How the transmitter is keyed, and the keyer in use, for a source that shares its device (a
    // CAT keyer destroyed first makes the source lost, never clear).
    const KeyerSettings *keyerSettings = nullptr;
    Keyer *keyer = nullptr;
    // The sound server that listens to the receiver's audio; none: "audio" cannot be heard.
    SoundServer *sound = nullptr;
};

// What is wrong with the values, found without opening anything; empty when nothing is known to
// be wrong. An unknown source is refused here, naming it and the accepted ones.
QString busySettingsProblem(const BusySettings &busy);
// The source the settings choose, not yet open; null for "ninguno". Values that cannot be used,
// or a source this installation cannot read, give a source whose open() fails with the reason:
// never no source, which would key at once.
std::unique_ptr<BusySource> makeBusySource(const BusySettings &busy, const BusySourceContext &context);
// What builds the sources, where tests give stand-ins.
using BusySourceMaker =
    std::function<std::unique_ptr<BusySource>(const BusySettings &busy, const BusySourceContext &context)>;

// Whether the two values, each with the rest of its station, choose a source that reads the
// same thing the same way: then one can stand for the other (the station dialog shows the
// station's own source rather than opening the device a second time). The wait's timing does
// not count.
bool sameBusySource(const BusySettings &a, const BusySourceContext &inA, const BusySettings &b,
                    const BusySourceContext &inB);

// The sound input "audio" listens to: "receptor", or the recording input when it is empty.
SoundCardChoice receiverCard(const BusySettings &busy, const SoundCardChoice &entrada);

// A source that cannot be read: open() throws reason.
class RefusingBusySource : public BusySource
{
    Q_OBJECT
public:
    RefusingBusySource(const QString &reason, const QString &description, QObject *parent = nullptr)
        : BusySource(parent), m_reason(reason), m_description(description)
    {
    }
    void open() override;
    void close() override {}
    bool isOpen() const override { return false; }
    bool busy() const override { return false; }
    QString description() const override { return m_description; }

private:
    QString m_reason;
    QString m_description;
};
