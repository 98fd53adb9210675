#pragma once

#include <QtGlobal>

#include <memory>

// A sound to measure, read at any place by several threads at once: each opens a reader of its own.
class SoundFrames
{
public:
    class Reader
    {
    public:
        virtual ~Reader() = default;
        // Up to frames frames from frame `from` into `into`; how many came, 0 at the end, -1 on failure.
        virtual qint64 read(qint64 from, qint64 frames, float *into) = 0;
    };

    SoundFrames(int channels, int rate) : m_channels(channels), m_rate(rate) {}
    virtual ~SoundFrames() = default;

    int channels() const { return m_channels; }
    int rate() const { return m_rate; }
    // Null when the sound can no longer be read.
    virtual std::unique_ptr<Reader> reader() const = 0;

private:
    int m_channels;
    int m_rate;
};
