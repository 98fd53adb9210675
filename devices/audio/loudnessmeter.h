#pragma once

#include "levelgain.h"

#include <QString>

// Integrated loudness and true peak, EBU R128, through libebur128.
namespace LoudnessMeter {
// Of interleaved float samples, all channels as libebur128 maps them.
Loudness measureSamples(const float *samples, qint64 frames, int channels, int rate);
// Of a sound file's own samples; not measured when it cannot be read.
Loudness measureFile(const QString &path);
} // namespace LoudnessMeter
