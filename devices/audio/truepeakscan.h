#pragma once

#include "soundframes.h"

#include <ebur128.h>

#include <QtGlobal>

#include <atomic>
#include <future>
#include <memory>
#include <vector>

// The true peak libebur128 finds when it reads a whole sound in one state, found sooner: the
// sound is cut into regions, and a region is oversampled only when its own samples could lift
// the peak over the highest found so far (its largest sample times the most the interpolator
// can gain). The few loudest go first, then the rest in blocks, by any number of threads; each
// stretch starts with the samples before it, so that its interpolated values are those of the
// one-state reading.

class TruePeakScan
{
public:
    explicit TruePeakScan(const SoundFrames &sound);

    // Reads the sound once for its regions' largest samples; by one thread, before any work().
    void prepare();
    // Oversamples regions until none is left that could lift the peak; any thread, after prepare()
    // began (it waits for it to end).
    void work();
    // After prepare(): false when nearly every region could lift the peak, so that reading the
    // sound in one state costs less (or when it could not be read).
    bool worthSplitting() const;
    // The true peak, linear, the largest of all channels; -1 when the sound could not be read.
    double peak() const;

    struct Region
    {
        qint64 start = 0;
        qint64 frames = 0;
        float largest = 0; // its own samples and those before it that it starts with
    };

    struct StateFree
    {
        void operator()(ebur128_state *st) const;
    };

private:
    // One thread's reading of the sound.
    struct Pass
    {
        std::unique_ptr<SoundFrames::Reader> reader;
        std::unique_ptr<ebur128_state, StateFree> state;
        std::vector<float> buffer;
    };

    void findReach();
    // Oversamples the region unless it cannot lift the peak; whether it did.
    bool scan(Pass &pass, const Region &region, bool continuing);
    void raise(double peak);

    const SoundFrames &m_sound;
    double m_gain = 0;             // the most an interpolated value can exceed the largest sample before it
    qint64 m_history = 0;          // samples before a region that its interpolated values depend on
    std::vector<Region> m_regions; // in the file's order
    std::vector<size_t> m_loudest; // the few loudest, loudest first
    std::atomic<double> m_best{0};
    std::atomic<size_t> m_next{0};
    std::atomic<size_t> m_nextBlock{0};
    std::atomic<bool> m_failed{false};
    std::promise<void> m_prepared;
    std::shared_future<void> m_ready{m_prepared.get_future().share()};
};
