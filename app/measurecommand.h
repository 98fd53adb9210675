#pragma once

#include "levelgain.h"

#include <QStringList>

// pregonal --medir: each file's loudness, true peak and the gain it would get on the air.
namespace MeasureCommand {
// One line of the listing, for a file shown as shown.
QString line(const QString &shown, const Loudness &loudness, const LevelSettings &level);
// Measures and lists files on standard output (unreadable ones on standard error). Returns the
// exit status: Command::Failed when one could not be measured.
int run(const QStringList &files);
} // namespace MeasureCommand
