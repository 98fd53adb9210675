#pragma once

// Helpers the fault tests share: the private test sound server and the line log.
#include "soundcapture.h"

#include <QString>

// The test sound server this process talks to, when it is one that scripts/testpulse.sh started
// under PREGONAL_PULSE_DIR or scripts/testpipewire.sh under PREGONAL_PIPEWIRE_DIR (PULSE_SERVER
// points into that folder); dir is empty otherwise, so that no test ever stops a server it does
// not own.
struct OwnedSoundServer
{
    QString dir;
    bool pipewire = false; // PipeWire through pipewire-pulse, not PulseAudio
    QString script;        // the script that starts it again
    bool owned() const { return !dir.isEmpty(); }
    QString name() const { return pipewire ? QStringLiteral("PipeWire") : QStringLiteral("PulseAudio"); }
};
OwnedSoundServer ownedSoundServer();
// SIGKILLs its daemons (PulseAudio; or PipeWire and pipewire-pulse), and waits until they are gone.
bool killSoundServer(const OwnedSoundServer &server);
// Starts it again through its script with the same folder.
bool restartSoundServer(const OwnedSoundServer &server);
// Both lines low at the end of the log (or no change at all).
bool linesDownAtEnd(const QList<LineEvent> &events);
