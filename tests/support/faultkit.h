#pragma once

// Helpers the fault tests share: the private test sound server and the line log.
#include "soundcapture.h"

#include <QString>

// The folder of the test sound server this process talks to, when it is one that
// scripts/testpulse.sh started under PREGONAL_PULSE_DIR (PULSE_SERVER points into it); empty
// otherwise, so that no test ever stops a server it does not own.
QString ownedPulseDir();
// SIGKILLs the daemon of that server (its pid file), and waits until it is gone.
bool killSoundServer(const QString &dir);
// Starts it again through scripts/testpulse.sh with the same folder.
bool restartSoundServer(const QString &dir, const QString &script);
// Both lines low at the end of the log (or no change at all).
bool linesDownAtEnd(const QList<LineEvent> &events);
