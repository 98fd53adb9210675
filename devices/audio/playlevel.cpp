#include "playlevel.h"

#include "loudnesscache.h"

PlayLevel::PlayLevel(LoudnessCache &cache) : m_cache(&cache) {}

namespace {
constexpr int RememberedPaths = 64;
}

void PlayLevel::setSettings(const LevelSettings &settings)
{
    const bool turnedOn = settings.on() && !m_settings.on();
    m_settings = settings;
    if (turnedOn)
        for (const QString &path : std::as_const(m_prepared))
            m_cache->prepare(path);
}

void PlayLevel::prepare(const QString &path)
{
    if (path.isEmpty())
        return;
    m_prepared.removeAll(path);
    m_prepared.append(path);
    if (m_prepared.size() > RememberedPaths)
        m_prepared.removeFirst();
    if (m_settings.on())
        m_cache->prepare(path);
}

bool PlayLevel::ready(const QString &path)
{
    return !m_settings.on() || m_cache->ready(path);
}

float PlayLevel::factorFor(const QString &path)
{
    m_note.clear();
    if (!m_settings.on())
        return 1.0f;
    const Loudness loudness = m_cache->get(path);
    const double gain = LevelGain::gainDb(loudness, m_settings);
    m_note = LevelGain::note(loudness, gain);
    return float(LevelGain::factor(gain));
}

float PlayLevel::unmeasured()
{
    m_note = m_settings.on() ? QStringLiteral("Sonoridad no medida a tiempo; sin ganancia.") : QString();
    return 1.0f;
}
