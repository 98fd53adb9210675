#pragma once

#include <QString>
#include <QtGlobal>

// Sound levels as the operator reads them: decibels below full scale, from -60 dB (shown as
// silence) to 0 dB.
namespace levels {
inline constexpr double FloorDb = -60.0;

// The highest absolute value of count 16-bit samples, from 0 to 1.
double peakOf(const qint16 *samples, qsizetype count);
// The level in dB of a peak from 0 to 1; FloorDb for silence and anything below it.
double toDb(double peak);
// Where a bar from FloorDb to 0 dB stands for peak, 0 to 100.
int percent(double peak);
// "-20 dB", "0 dB", or "silencio" at the floor.
QString text(double peak);
} // namespace levels
