#pragma once

#include "audiodevice.h"
#include "busysourcemaker.h"
#include "clock.h"
#include "identification.h"
#include "keyermaker.h"
#include "remotestation.h"
#include "platform.h"
#include "serialline.h"
#include "settingsstore.h"
#include "soundserver.h"

#include <functional>
#include <memory>

// The platform parts the main window owns: real ones from the start-up, fakes in tests.
struct PlatformParts
{
    std::unique_ptr<AudioDevice> reproductor;
    std::unique_ptr<SerialLine> MSComm1;
    std::unique_ptr<FileDialog> ventanas;
    std::unique_ptr<MessageBoxes> messageBoxes;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<RegistryReader> registry;
    std::unique_ptr<ProgramLauncher> launcher;
    std::unique_ptr<SoundServer> sound;
    // The clock of the schedule and the log (the system's when none is given), and the log's
    // folder (the user's state folder when empty).
    std::unique_ptr<Clock> clock;
    QString logFolder;
    // Builds the keyer of a method other than the serial line; empty: the serial line and VOX only.
    KeyerMaker makeKeyer;
    // Builds the source that tells a busy channel; empty: the one the settings name.
    BusySourceMaker makeBusySource;
    // Makes the station's identification as sound; none: the station never identifies.
    std::unique_ptr<Identification> identification;
    // The station another process runs, when the window is only its face; none: the window runs
    // its own.
    std::unique_ptr<RemoteStation> face;
};
