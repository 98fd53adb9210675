#include "testtone.h"

#include <algorithm>
#include <cmath>

QList<qint16> TestTone::samples()
{
    constexpr int frames = SampleRate / 1000 * LengthMs;
    constexpr int ramp = SampleRate / 1000 * RampMs;
    constexpr double twoPi = 6.283185307179586;
    QList<qint16> out(frames);
    for (int i = 0; i < frames; ++i) {
        const int edge = std::min(i, frames - 1 - i);
        const double gain = edge < ramp ? double(edge) / ramp : 1.0;
        const double value = Amplitude * gain * std::sin(twoPi * FrequencyHz * i / SampleRate);
        out[i] = qint16(std::lround(value * 32767.0));
    }
    return out;
}
