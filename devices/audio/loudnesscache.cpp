#include "loudnesscache.h"

#include "loudnessmeter.h"

#include <QFileInfo>
#include <QMutexLocker>

#include <QThread>

#include <algorithm>
#include <memory>

LoudnessCache::LoudnessCache(Measure measure) : m_measure(std::move(measure))
{
    // A schedule's messages are measured a few at a time, each over the cores.
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

LoudnessCache::~LoudnessCache()
{
    m_pool.clear(); // what has not begun is not needed any more
    m_pool.waitForDone();
}

LoudnessCache &LoudnessCache::shared()
{
    static LoudnessCache cache(&LoudnessMeter::measureFile);
    return cache;
}

LoudnessCache::Key LoudnessCache::keyOf(const QString &path)
{
    QFileInfo info(path);
    info.setCaching(false);
    Key key;
    key.path = info.absoluteFilePath();
    if (info.exists()) {
        key.size = info.size();
        key.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    }
    return key;
}

std::shared_future<Loudness> LoudnessCache::start(const QString &path)
{
    const Key key = keyOf(path);
    QMutexLocker lock(&m_mutex);
    const auto found = m_entries.constFind(key.path);
    if (found != m_entries.constEnd() && found->first == key)
        return found->second;
    auto task = std::make_shared<std::packaged_task<Loudness()>>(
        [measure = m_measure, file = key.path] { return measure(file); });
    std::shared_future<Loudness> result = task->get_future().share();
    m_entries.insert(key.path, {key, result});
    ++m_started;
    m_pool.start([task] { (*task)(); });
    return result;
}

void LoudnessCache::prepare(const QString &path)
{
    start(path);
}

bool LoudnessCache::ready(const QString &path)
{
    return start(path).wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

Loudness LoudnessCache::get(const QString &path)
{
    return start(path).get();
}

int LoudnessCache::measures() const
{
    QMutexLocker lock(&m_mutex);
    return m_started;
}
