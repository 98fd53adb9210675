#pragma once

#include "levelsettings.h"

#include <QList>
#include <QtGlobal>

// The tone of the test transmission: 1 kHz at -20 dBFS for 2 s, mono, 16-bit, with 5 ms ramps
// at both ends so that it starts and ends without a click. Deviation is set on it: with the level
// on the air set, the tone peaks at its ceiling, the loudest any message will reach.
struct TestTone
{
    static constexpr int SampleRate = 48000;
    static constexpr int FrequencyHz = 1000;
    static constexpr int LengthMs = 2000;
    static constexpr int RampMs = 5;
    static constexpr double Amplitude = 0.1; // -20 dBFS

    static double amplitudeFor(const LevelSettings &level);
    static QList<qint16> samples(double amplitude = Amplitude);
};
