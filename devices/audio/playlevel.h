#pragma once

#include "levelgain.h"
#include "levelsettings.h"

#include <QString>
#include <QStringList>

class LoudnessCache;

// The level on the air at play: the one gain a message gets from its measured loudness, and the
// note of it for the log. Off, nothing is measured and every message plays as recorded.
class PlayLevel
{
public:
    explicit PlayLevel(LoudnessCache &cache);
    void setCache(LoudnessCache &cache) { m_cache = &cache; }

    // Turned on, it measures the messages prepared while it was off.
    void setSettings(const LevelSettings &settings);
    const LevelSettings &settings() const { return m_settings; }
    // The message was opened or scheduled: measure it now, in a worker thread, when the level is on.
    void prepare(const QString &path);
    // True when factorFor(path) would not wait: the level is off or the message's measure is done.
    bool ready(const QString &path);
    // The factor on the samples of the message at path, waiting for its measure if need be; 1
    // when the level is off.
    float factorFor(const QString &path);
    // The factor for a message whose measure did not come in time: 1, and the note says so.
    float unmeasured();
    // The last play's loudness and gain; empty when the level was off.
    QString note() const { return m_note; }

private:
    LoudnessCache *m_cache;
    LevelSettings m_settings;
    QString m_note;
    QStringList m_prepared; // the latest, to measure when the level is turned on
};
