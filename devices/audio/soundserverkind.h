#pragma once

#include <QString>

// Which sound server sounds our plays. They differ in how far their reported play time can run
// ahead of the sound (see PlayTiming::drainMarginUs).
enum class SoundServerKind {
    Unknown,    // none answered (another Qt backend, or no server at all)
    PulseAudio, // PulseAudio itself
    PipeWire,   // PipeWire through pipewire-pulse
};

// From the name a server gives of itself ("pulseaudio", "PulseAudio (on PipeWire 0.3.65)").
SoundServerKind soundServerKindFromName(const QString &name);

// Asks the PulseAudio-protocol server the sound goes to (as PULSE_SERVER or the session say) for
// its name. Blocks for at most timeoutMs; Unknown when it does not answer by then.
SoundServerKind askSoundServerKind(int timeoutMs = 500);
