#include "loudnessmeter.h"

#include "soundfile.h"
#include "soundframes.h"
#include "truepeakscan.h"

#include <ebur128.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {
constexpr qint64 BlockFrames = 8192;

struct StateFree
{
    void operator()(ebur128_state *st) const { ebur128_destroy(&st); }
};
using State = std::unique_ptr<ebur128_state, StateFree>;

class MemoryFrames : public SoundFrames
{
public:
    MemoryFrames(const float *samples, qint64 frames, int channels, int rate)
        : SoundFrames(channels, rate), m_samples(samples), m_frames(frames)
    {
    }
    std::unique_ptr<Reader> reader() const override { return std::make_unique<MemoryReader>(*this); }

private:
    struct MemoryReader : Reader
    {
        explicit MemoryReader(const MemoryFrames &sound) : sound(sound) {}
        qint64 read(qint64 from, qint64 frames, float *into) override
        {
            const qint64 n = std::clamp<qint64>(sound.m_frames - from, 0, frames);
            const int channels = sound.channels();
            std::memcpy(into, sound.m_samples + from * channels, size_t(n * channels) * sizeof(float));
            return n;
        }
        const MemoryFrames &sound;
    };
    const float *m_samples;
    qint64 m_frames;
};

// Each reader opens the file again, so that threads never share a file position.
class FileFrames : public SoundFrames
{
public:
    FileFrames(const QString &path, const SF_INFO &info)
        : SoundFrames(info.channels, info.samplerate), m_path(path), m_format(info.format)
    {
    }
    std::unique_ptr<Reader> reader() const override
    {
        SF_INFO info{};
        SoundFile file = SoundFile::openRead(m_path, info);
        if (!file || info.channels != channels() || info.samplerate != rate() || info.format != m_format)
            return nullptr;
        return std::make_unique<FileReader>(std::move(file), info.channels);
    }

private:
    struct FileReader : Reader
    {
        FileReader(SoundFile file, int channels) : file(std::move(file)), channels(channels) {}
        qint64 read(qint64 from, qint64 frames, float *into) override
        {
            if (from != at && sf_seek(file.get(), from, SEEK_SET) != from)
                return -1;
            at = from;
            qint64 done = 0;
            while (done < frames) {
                const sf_count_t got = sf_readf_float(file.get(), into + done * channels, frames - done);
                if (got <= 0)
                    break;
                done += got;
            }
            at += done;
            return done;
        }
        SoundFile file;
        int channels;
        qint64 at = 0;
    };
    QString m_path;
    int m_format;
};

struct Integrated
{
    double lufs = 0;
    double peak = 0; // with the true peak's mode
    qint64 frames = 0;
    bool measured = false;
};

// The integrated loudness (and the true peak, in that mode), the whole sound in one state.
Integrated integrated(const SoundFrames &sound, int mode)
{
    Integrated out;
    const std::unique_ptr<SoundFrames::Reader> reader = sound.reader();
    const State st(ebur128_init(unsigned(sound.channels()), static_cast<unsigned long>(sound.rate()), mode));
    if (!reader || !st)
        return out;
    std::vector<float> block(size_t(BlockFrames * sound.channels()));
    for (;;) {
        const qint64 got = reader->read(out.frames, BlockFrames, block.data());
        if (got < 0)
            return out;
        if (got == 0)
            break;
        if (ebur128_add_frames_float(st.get(), block.data(), size_t(got)) != EBUR128_SUCCESS)
            return out;
        out.frames += got;
    }
    out.measured = ebur128_loudness_global(st.get(), &out.lufs) == EBUR128_SUCCESS;
    for (int c = 0;
         out.measured && (mode & EBUR128_MODE_TRUE_PEAK) == EBUR128_MODE_TRUE_PEAK && c < sound.channels();
         ++c) {
        double p = 0;
        out.measured = ebur128_true_peak(st.get(), unsigned(c), &p) == EBUR128_SUCCESS;
        out.peak = std::max(out.peak, p);
    }
    return out;
}

Loudness result(const Integrated &loudness, double peak, int rate)
{
    if (!loudness.measured || peak < 0)
        return {};
    Loudness out;
    out.lufs = loudness.lufs;
    out.truePeakDb = peak > 0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    out.durationMs = loudness.frames * 1000 / rate;
    out.measured = true;
    return out;
}

// The loudness in this thread while the others look for the true peak, and then with them; in
// one state, as the library alone would, when nearly every region must be oversampled anyway.
Loudness measure(const SoundFrames &sound)
{
    if (sound.channels() < 1 || sound.channels() > 64 || sound.rate() < 1)
        return {};
    TruePeakScan scan(sound);
    scan.prepare();
    if (!scan.worthSplitting()) {
        const Integrated whole = integrated(sound, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
        return result(whole, whole.peak, sound.rate());
    }
    std::vector<std::thread> helpers;
    const int more = std::max(1, int(std::thread::hardware_concurrency()) - 1);
    try {
        for (int i = 0; i < more; ++i)
            helpers.emplace_back([&scan] { scan.work(); });
    } catch (const std::system_error &) {
        // fewer threads: the rest is done here
    }
    const Integrated loudness = integrated(sound, EBUR128_MODE_I);
    scan.work();
    for (std::thread &helper : helpers)
        helper.join();
    return result(loudness, scan.peak(), sound.rate());
}
} // namespace

namespace LoudnessMeter {

Loudness measureSamples(const float *samples, qint64 frames, int channels, int rate)
{
    return measure(MemoryFrames(samples, std::max<qint64>(frames, 0), channels, rate));
}

Loudness measureFile(const QString &path)
{
    SF_INFO info{};
    if (!SoundFile::openRead(path, info))
        return {};
    return measure(FileFrames(path, info));
}

} // namespace LoudnessMeter
