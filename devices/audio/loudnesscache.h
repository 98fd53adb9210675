#pragma once

#include "levelgain.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <future>

// The loudness of each message, measured once in a worker thread and kept, keyed by the file's
// path, size and modification time: a file rewritten since is measured again.
class LoudnessCache
{
public:
    using Measure = std::function<Loudness(const QString &path)>;

    explicit LoudnessCache(Measure measure);
    ~LoudnessCache();
    // The one the program's devices share.
    static LoudnessCache &shared();

    struct Key
    {
        QString path;
        qint64 size = -1;
        qint64 modifiedMs = 0;
        bool operator==(const Key &o) const
        {
            return path == o.path && size == o.size && modifiedMs == o.modifiedMs;
        }
    };
    static Key keyOf(const QString &path);

    // Starts measuring the file in a worker thread unless it is measured or being measured.
    void prepare(const QString &path);
    // True when get(path) would not wait: its measure is done (one is started when none is).
    bool ready(const QString &path);
    // The file's loudness, waiting for a measure under way (or taking it now, when none is).
    Loudness get(const QString &path);
    // How many measures were started, for tests.
    int measures() const;

private:
    std::shared_future<Loudness> start(const QString &path);

    Measure m_measure;
    mutable QMutex m_mutex;
    QHash<QString, QPair<Key, std::shared_future<Loudness>>> m_entries;
    int m_started = 0;
    QThreadPool m_pool;
};
