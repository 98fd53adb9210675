#include "levelgain.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {
constexpr double ClipDbtp = -0.05; // a sample at full scale: the take clipped

QString decimal(double value, bool sign)
{
    QString text = QString::number(value, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
    if (text == QLatin1String("-0,0"))
        text = QStringLiteral("0,0");
    if (sign && !text.startsWith(QLatin1Char('-')))
        text.prepend(QLatin1Char('+'));
    return text;
}
} // namespace

namespace LevelGain {

double gainDb(const Loudness &loudness, const LevelSettings &level)
{
    if (!level.on() || !loudness.measured || loudness.durationMs < MinDurationMs)
        return 0.0;
    if (!std::isfinite(loudness.lufs) || !std::isfinite(loudness.truePeakDb))
        return 0.0;
    double gain = *level.nivel - loudness.lufs;
    gain = std::min(gain, level.picomaximo - loudness.truePeakDb);
    return std::min(gain, MaxBoostDb);
}

double factor(double gainDb)
{
    return gainDb == 0.0 ? 1.0 : std::pow(10.0, gainDb / 20.0);
}

QString lufsText(double lufs)
{
    return std::isfinite(lufs) ? decimal(lufs, false) + QStringLiteral(" LUFS") : QStringLiteral("silencio");
}

QString peakText(double dbtp)
{
    return std::isfinite(dbtp) ? decimal(dbtp, false) + QStringLiteral(" dBTP") : QStringLiteral("silencio");
}

QString gainText(double gainDb)
{
    return decimal(gainDb, true) + QStringLiteral(" dB");
}

QString note(const Loudness &loudness, double gainDb)
{
    if (!loudness.measured)
        return QStringLiteral("Sonoridad no medida; sin ganancia.");
    return QStringLiteral("Sonoridad %1; ganancia %2.").arg(lufsText(loudness.lufs), gainText(gainDb));
}

QString takeProblem(const Loudness &loudness, const LevelSettings &level)
{
    if (!loudness.measured)
        return {};
    QStringList problems;
    if (std::isfinite(loudness.truePeakDb) && loudness.truePeakDb >= ClipDbtp)
        problems << QStringLiteral("los picos llegan al máximo (%1) y el sonido sale recortado")
                        .arg(peakText(loudness.truePeakDb));
    if (level.on() && loudness.durationMs >= MinDurationMs) {
        const double distance = std::isfinite(loudness.lufs) ? std::abs(loudness.lufs - *level.nivel) : 1e9;
        if (distance > MaxTakeDistanceLu)
            problems << QStringLiteral("su sonoridad (%1) se aleja más de 10 LU del nivel en el aire (%2)")
                            .arg(lufsText(loudness.lufs), lufsText(*level.nivel));
    }
    return problems.join(QStringLiteral(", y "));
}

} // namespace LevelGain
