#include "playlevel.h"

#include "loudnesscache.h"

PlayLevel::PlayLevel(LoudnessCache &cache) : m_cache(cache) {}

void PlayLevel::prepare(const QString &path)
{
    if (m_settings.on())
        m_cache.prepare(path);
}

float PlayLevel::factorFor(const QString &path)
{
    m_note.clear();
    if (!m_settings.on())
        return 1.0f;
    const Loudness loudness = m_cache.get(path);
    const double gain = LevelGain::gainDb(loudness, m_settings);
    m_note = LevelGain::note(loudness, gain);
    return float(LevelGain::factor(gain));
}
