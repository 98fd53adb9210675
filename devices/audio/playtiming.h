#pragma once

#include "soundserverkind.h"

#include <QtGlobal>

#include <algorithm>

// The timing of a play: how long the silence before the first sample lasts, where the listener
// is, and when the last sample (and the tail after it) has been heard. Times in microseconds.
namespace PlayTiming {
constexpr int PlayTickMs = 5;  // progress checks while the sink still has data to take
constexpr int DrainTickMs = 2; // then, until the last sample (and the tail) has been heard
// Silence first: a server may drop the very start of a stream. PipeWire drops what it takes in the
// stream's first cycle, which may be 2048 frames (43 ms at 48 kHz) on a desktop; PulseAudio a few ms.
constexpr int PrerollMs = 50;
constexpr int StallMs = 3000; // the sink not advancing for this long means it is gone
// How long after the server's played time passes a sample it has surely left the server. PulseAudio's
// time counts the sink's latency, so a little margin does. Under PipeWire (pipewire-pulse) the time
// runs ahead of the graph by up to about two thirds of its cycle: measured on a null sink's monitor,
// the last sample came out 3 ms after the time said so at 256 frames a cycle, 8 ms at 512 and 1024,
// and 29 ms at 2048; stopping the stream earlier cut the end of the message.
constexpr qint64 DrainMarginUs = 5000;
constexpr qint64 PipeWireDrainMarginUs = 35000;
inline qint64 drainMarginUs(SoundServerKind server)
{
    return server == SoundServerKind::PipeWire ? PipeWireDrainMarginUs : DrainMarginUs;
}

// The first frame sounded processedUs after the play started, startUs late: the silence before
// the first real sample, shortened by that start-up delay so that the sample comes out when the
// lead time is up. Never shorter than the preroll.
inline qint64 trimmedLeadUs(int leadMs, qint64 startUs)
{
    return std::max<qint64>(PrerollMs * 1000, qint64(leadMs) * 1000 - startUs);
}

// The drain check. The sink is fed silence after the file, so its played time stays exact: the
// last sample (and the tail after it) has been heard once it passes the end of the sound, which
// came at output frame soundEndFrame, marginUs after the server's time says so.
inline bool allHeard(qint64 processedUs, qint64 soundEndFrame, int outRate, int tailMs, qint64 marginUs)
{
    const qint64 endUs = soundEndFrame * 1000000 / outRate + qint64(tailMs) * 1000;
    return processedUs >= endUs + marginUs;
}

// The file frame heard after processedUs of output, of which leadFrames (at outRate) were silence,
// for a play of a file of frames at rate that started at startFrame.
inline qint64 heardFrame(qint64 processedUs, qint64 leadFrames, int outRate, qint64 startFrame, qint64 frames,
                         int rate)
{
    const qint64 leadUs = leadFrames * 1000000 / outRate;
    const qint64 soundUs = processedUs - leadUs;
    if (soundUs <= 0)
        return startFrame;
    return std::min(frames, startFrame + soundUs * rate / 1000000);
}
} // namespace PlayTiming
