#include "levels.h"

#include <algorithm>
#include <cmath>

namespace levels {

double peakOf(const qint16 *samples, qsizetype count)
{
    int highest = 0;
    for (qsizetype i = 0; i < count; ++i)
        highest = std::max(highest, std::abs(int(samples[i])));
    return std::min(1.0, highest / 32767.0);
}

double toDb(double peak)
{
    if (!(peak > 0))
        return FloorDb;
    return std::clamp(20.0 * std::log10(peak), FloorDb, 0.0);
}

int percent(double peak)
{
    return int(std::lround((toDb(peak) - FloorDb) * 100.0 / -FloorDb));
}

QString text(double peak)
{
    const double db = toDb(peak);
    if (db <= FloorDb)
        return QStringLiteral("silencio");
    return QStringLiteral("%1 dB").arg(int(std::lround(db)));
}

} // namespace levels
