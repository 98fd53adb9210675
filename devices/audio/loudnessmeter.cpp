#include "loudnessmeter.h"

#include "soundfile.h"

#include <ebur128.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {
constexpr qint64 BlockFrames = 8192;

struct StateFree
{
    void operator()(ebur128_state *st) const { ebur128_destroy(&st); }
};
using State = std::unique_ptr<ebur128_state, StateFree>;

State makeState(int channels, int rate)
{
    if (channels < 1 || rate < 1)
        return nullptr;
    return State(ebur128_init(unsigned(channels), static_cast<unsigned long>(rate),
                              EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
}

Loudness result(ebur128_state *st, qint64 frames, int channels, int rate)
{
    Loudness out;
    double lufs = 0;
    if (ebur128_loudness_global(st, &lufs) != EBUR128_SUCCESS)
        return out;
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double p = 0;
        if (ebur128_true_peak(st, unsigned(c), &p) != EBUR128_SUCCESS)
            return out;
        peak = std::max(peak, p);
    }
    out.lufs = lufs;
    out.truePeakDb = peak > 0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    out.durationMs = frames * 1000 / rate;
    out.measured = true;
    return out;
}
} // namespace

namespace LoudnessMeter {

Loudness measureSamples(const float *samples, qint64 frames, int channels, int rate)
{
    const State st = makeState(channels, rate);
    if (!st || (frames > 0 && ebur128_add_frames_float(st.get(), samples, size_t(frames)) != EBUR128_SUCCESS))
        return {};
    return result(st.get(), frames, channels, rate);
}

Loudness measureFile(const QString &path)
{
    SF_INFO info{};
    SoundFile file = SoundFile::openRead(path, info);
    if (!file || info.channels < 1 || info.channels > 64)
        return {};
    const State st = makeState(info.channels, info.samplerate);
    if (!st)
        return {};
    std::vector<float> block(size_t(BlockFrames * info.channels));
    qint64 frames = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), block.data(), BlockFrames);
        if (got <= 0)
            break;
        if (ebur128_add_frames_float(st.get(), block.data(), size_t(got)) != EBUR128_SUCCESS)
            return {};
        frames += got;
    }
    return result(st.get(), frames, info.channels, info.samplerate);
}

} // namespace LoudnessMeter
