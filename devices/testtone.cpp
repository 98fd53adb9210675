#include "testtone.h"

#include <algorithm>
#include <cmath>

double TestTone::amplitudeFor(const LevelSettings &level)
{
    return level.on() ? std::pow(10.0, level.picomaximo / 20.0) : Amplitude;
}

QList<qint16> TestTone::samples(double amplitude)
{
    constexpr int frames = SampleRate / 1000 * LengthMs;
    constexpr int ramp = SampleRate / 1000 * RampMs;
    constexpr double twoPi = 6.283185307179586;
    QList<qint16> out(frames);
    for (int i = 0; i < frames; ++i) {
        const int edge = std::min(i, frames - 1 - i);
        const double gain = edge < ramp ? double(edge) / ramp : 1.0;
        const double value = amplitude * gain * std::sin(twoPi * FrequencyHz * i / SampleRate);
        out[i] = qint16(std::lround(value * 32767.0));
    }
    return out;
}
