#pragma once

#include "levelsettings.h"

#include <QString>
#include <QtGlobal>

// What was measured of one message: integrated loudness (LUFS) and true peak (dBTP), both minus
// infinity for silence, and its length.
struct Loudness
{
    double lufs = 0;
    double truePeakDb = 0;
    qint64 durationMs = 0;
    bool measured = false; // false: the file could not be read
};

// The one gain a message is played with, so that the messages of a station sound alike: the
// target minus the loudness, lowered so that the true peak stays at or under the ceiling.
namespace LevelGain {
inline constexpr qint64 MinDurationMs = 400; // too short for an integrated loudness
inline constexpr double MaxBoostDb = 20.0;   // a near-silent message must not become hiss
inline constexpr double MaxTakeDistanceLu = 10.0;

// In dB; 0 when the level is off, or the message is too short, silent or unmeasured.
double gainDb(const Loudness &loudness, const LevelSettings &level);
// As a factor on the samples.
double factor(double gainDb);
// "-23,4 LUFS" ("silencio" for minus infinity), "-1,0 dBTP", "+3,2 dB": one decimal, comma.
QString lufsText(double lufs);
QString peakText(double dbtp);
QString gainText(double gainDb);
// For the log's detail: "Sonoridad -31,2 LUFS; ganancia +8,2 dB."
QString note(const Loudness &loudness, double gainDb);
// A fresh recording the operator should hear again before saving: more than 10 LU from the
// target (when there is one) or clipped; the reason in Spanish, empty when it is fine.
QString takeProblem(const Loudness &loudness, const LevelSettings &level);
} // namespace LevelGain
