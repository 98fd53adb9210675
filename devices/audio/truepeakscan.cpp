#include "truepeakscan.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

namespace {
constexpr qint64 RegionFrames = 1024;
constexpr qint64 ChunkFrames = 8192;
constexpr size_t LoudestFirst = 8;
constexpr size_t BlockRegions = 64;
constexpr int ProbeFrames = 256;
// The interpolator hands out floats: one rounding may lift a value by a part in 2^24.
constexpr double Rounding = 1.0 + 1e-6;

using State = std::unique_ptr<ebur128_state, TruePeakScan::StateFree>;

State truePeakState(int channels, int rate)
{
    if (channels < 1 || rate < 1)
        return nullptr;
    return State(ebur128_init(unsigned(channels), static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK));
}

// The true peak of the frames the last call added, all channels; -1 on failure.
double lastPeak(ebur128_state *st, int channels)
{
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double p = 0;
        if (ebur128_prev_true_peak(st, unsigned(c), &p) != EBUR128_SUCCESS)
            return -1;
        peak = std::max(peak, p);
    }
    return peak;
}
// The true peak of one region, read after the samples before it (silence before the sound's
// start) in a call of their own, so that its interpolated values are those of one state; -1 on failure.
double regionPeak(SoundFrames::Reader &reader, ebur128_state *st, const TruePeakScan::Region &region,
                  qint64 history, std::vector<float> &buffer)
{
    const int channels = int(st->channels);
    buffer.assign(size_t(std::max(history, ChunkFrames) * channels), 0.0f);
    if (history > 0) {
        const qint64 from = std::max<qint64>(0, region.start - history);
        const qint64 silence = history - (region.start - from);
        if (region.start > from &&
            reader.read(from, region.start - from, buffer.data() + silence * channels) != region.start - from)
            return -1;
        if (ebur128_add_frames_float(st, buffer.data(), size_t(history)) != EBUR128_SUCCESS)
            return -1;
    }
    double peak = 0;
    for (qint64 at = region.start; at < region.start + region.frames;) {
        const qint64 got =
            reader.read(at, std::min(ChunkFrames, region.start + region.frames - at), buffer.data());
        if (got <= 0 || ebur128_add_frames_float(st, buffer.data(), size_t(got)) != EBUR128_SUCCESS)
            return -1;
        const double last = lastPeak(st, channels);
        if (last < 0)
            return -1;
        peak = std::max(peak, last);
        at += got;
    }
    return peak;
}
} // namespace

void TruePeakScan::StateFree::operator()(ebur128_state *st) const
{
    ebur128_destroy(&st);
}

TruePeakScan::TruePeakScan(const SoundFrames &sound) : m_sound(sound) {}

// An impulse through the library's own interpolator: its largest value at each delay, summed,
// bounds what any phase makes of samples no larger than one; where it dies out is the history.
void TruePeakScan::findReach()
{
    m_gain = HUGE_VAL; // unknown: one region, read in one state
    m_history = 0;
    const State st = truePeakState(1, m_sound.rate());
    if (!st)
        return;
    double sum = 0;
    int last = 0;
    for (int k = 0; k < ProbeFrames; ++k) {
        const float v = k == 0 ? 1.0f : 0.0f;
        if (ebur128_add_frames_float(st.get(), &v, 1) != EBUR128_SUCCESS)
            return;
        const double out = lastPeak(st.get(), 1);
        if (out < 0)
            return;
        sum += out;
        if (out > 0)
            last = k;
    }
    if (last >= ProbeFrames - 1)
        return;
    m_gain = sum * Rounding;
    m_history = last + 1;
}

void TruePeakScan::prepare()
{
    findReach();
    const int channels = m_sound.channels();
    const std::unique_ptr<SoundFrames::Reader> reader = m_sound.reader();
    std::vector<float> block(size_t(RegionFrames * channels));
    float loudest = 0;
    float before = 0; // the largest sample of the region before, whose end a region starts with
    qint64 at = 0;
    for (;;) {
        const qint64 got = reader ? reader->read(at, RegionFrames, block.data()) : -1;
        if (got <= 0) {
            m_failed = got < 0;
            break;
        }
        float own = 0;
        for (qint64 i = 0; i < got * channels; ++i)
            own = std::max(own, std::abs(block[size_t(i)]));
        m_regions.push_back({at, got, std::max(own, before)});
        loudest = std::max(loudest, own);
        before = own;
        at += got;
    }
    if (!std::isfinite(m_gain) && at > 0)
        m_regions = {{0, at, HUGE_VALF}};
    if (std::isfinite(m_gain)) {
        m_loudest.resize(m_regions.size());
        std::iota(m_loudest.begin(), m_loudest.end(), size_t(0));
        const size_t first = std::min(m_loudest.size(), LoudestFirst);
        std::partial_sort(m_loudest.begin(), m_loudest.begin() + qsizetype(first), m_loudest.end(),
                          [this](size_t a, size_t b) { return m_regions[a].largest > m_regions[b].largest; });
        m_loudest.resize(first);
    }
    m_best = loudest; // the sample peak: the true peak is never below it
    m_prepared.set_value();
}

void TruePeakScan::work()
{
    m_ready.wait();
    Pass pass;
    // The loudest few first, so that the peak found so far soon bounds the rest.
    for (size_t next = m_next++; next < m_loudest.size() && !m_failed; next = m_next++)
        scan(pass, m_regions[m_loudest[next]], false);
    // Then the rest in the file's order, a block at a time, each stretch of it read in one go.
    for (size_t block = m_nextBlock++; block * BlockRegions < m_regions.size() && !m_failed;
         block = m_nextBlock++) {
        bool continuing = false;
        const size_t end = std::min(m_regions.size(), (block + 1) * BlockRegions);
        for (size_t i = block * BlockRegions; i < end && !m_failed; ++i)
            continuing = scan(pass, m_regions[i], continuing);
    }
}

bool TruePeakScan::scan(Pass &pass, const Region &region, bool continuing)
{
    if (double(region.largest) * m_gain <= m_best.load())
        return false; // it cannot lift the peak
    if (!pass.reader) {
        pass.reader = m_sound.reader();
        pass.state = truePeakState(m_sound.channels(), m_sound.rate());
    }
    // Right after the region before it, the interpolator already holds the samples it starts with.
    const double peak = pass.reader && pass.state ? regionPeak(*pass.reader, pass.state.get(), region,
                                                               continuing ? 0 : m_history, pass.buffer)
                                                  : -1;
    if (peak < 0) {
        m_failed = true;
        return false;
    }
    raise(peak);
    return true;
}

void TruePeakScan::raise(double peak)
{
    double best = m_best.load();
    while (peak > best && !m_best.compare_exchange_weak(best, peak)) {
    }
}

bool TruePeakScan::worthSplitting() const
{
    if (m_failed || !std::isfinite(m_gain))
        return false;
    const double best = m_best.load();
    const auto open = std::count_if(m_regions.begin(), m_regions.end(),
                                    [&](const Region &r) { return double(r.largest) * m_gain > best; });
    return size_t(open) * 4 < m_regions.size() * 3;
}

double TruePeakScan::peak() const
{
    return m_failed ? -1.0 : m_best.load();
}
