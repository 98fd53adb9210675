#include "measurecommand.h"

#include "audio/loudnessmeter.h"
#include "commandline.h"
#include "settingsstore.h"
#include "systempath.h"

#include <QTextStream>

namespace MeasureCommand {

QString line(const QString &shown, const Loudness &loudness, const LevelSettings &level)
{
    const bool tooShort = loudness.durationMs < LevelGain::MinDurationMs;
    const QString lufs =
        tooShort ? QStringLiteral("dura menos de 400 ms") : LevelGain::lufsText(loudness.lufs);
    const QString gain =
        !level.on() ? QStringLiteral("sin ganancia (nivel en el aire desactivado)")
        : tooShort
            ? QStringLiteral("sin ganancia")
            : QStringLiteral("ganancia %1").arg(LevelGain::gainText(LevelGain::gainDb(loudness, level)));
    return QStringLiteral("%1: %2, pico %3, %4")
        .arg(shown, lufs, LevelGain::peakText(loudness.truePeakDb), gain);
}

int run(const QStringList &files)
{
    const LevelSettings level = readLevelSettings(SettingsStore());
    QTextStream out(stdout);
    QTextStream err(stderr);
    int status = Command::Ok;
    for (const QString &file : files) {
        const QString shown = SystemPath::readable(file);
        const Loudness loudness = LoudnessMeter::measureFile(file);
        if (!loudness.measured) {
            err << "pregonal: no se puede medir «" << shown << "»: no es un archivo de sonido legible."
                << Qt::endl;
            status = Command::Failed;
            continue;
        }
        out << line(shown, loudness, level) << Qt::endl;
    }
    return status;
}

} // namespace MeasureCommand
