#pragma once

#include "busysettings.h"
#include "busysource.h"
#include "soundcardchoice.h"

#include <functional>
#include <memory>

class Keyer;
class SerialLine;
struct KeyerSettings;

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
};

// What is wrong with the values, found without opening anything; empty when nothing is known to
// be wrong. An unknown source is refused here, naming it and the accepted ones.
QString busySettingsProblem(const BusySettings &busy);
// The source the settings choose, not yet open; null for "ninguno".
std::unique_ptr<BusySource> makeBusySource(const BusySettings &busy, const BusySourceContext &context);
// What builds the sources, where tests give stand-ins.
using BusySourceMaker =
    std::function<std::unique_ptr<BusySource>(const BusySettings &, const BusySourceContext &)>;
