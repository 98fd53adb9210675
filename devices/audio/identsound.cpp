#include "identsound.h"

#include "deviceerror.h"
#include "morse.h"
#include "systempath.h"
#include "wavfile.h"

#include <QFile>

#include <sndfile.h>

#include <cmath>
#include <vector>

namespace {
constexpr int CopyFrames = 4096;
const QString kCannot = QStringLiteral("No se puede preparar la identificación de la estación: %1");

// A voice file as mono samples at rate: channels mixed, rate changed by linear interpolation.
QList<float> voiceAt(const QString &path, int rate)
{
    SF_INFO info{};
    SoundFile file = openWavFile(path, info);
    std::vector<float> frames(size_t(info.frames) * size_t(info.channels));
    const sf_count_t got = sf_readf_float(file.get(), frames.data(), info.frames);
    QList<float> mono(qsizetype(std::max<sf_count_t>(0, got)));
    for (qsizetype i = 0; i < mono.size(); ++i) {
        float sum = 0;
        for (int c = 0; c < info.channels; ++c)
            sum += frames[size_t(i) * size_t(info.channels) + size_t(c)];
        mono[i] = sum / float(info.channels);
    }
    if (info.samplerate == rate || mono.size() < 2)
        return mono;
    const double step = double(info.samplerate) / rate;
    QList<float> out(qsizetype(std::floor((mono.size() - 1) / step)) + 1);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const double at = i * step;
        const qsizetype k = std::min(qsizetype(at), mono.size() - 2);
        const double f = at - double(k);
        out[i] = float(mono[k] * (1 - f) + mono[k + 1] * f);
    }
    return out;
}

// Writes samples (one value, repeated on every channel) to an open file; false if it could not.
bool writeMono(SNDFILE *out, const QList<float> &mono, int channels)
{
    std::vector<float> frames;
    for (qsizetype at = 0; at < mono.size(); at += CopyFrames) {
        const qsizetype n = std::min<qsizetype>(CopyFrames, mono.size() - at);
        frames.assign(size_t(n) * size_t(channels), 0.0f);
        for (qsizetype i = 0; i < n; ++i)
            std::fill_n(frames.begin() + i * channels, channels, mono[at + i]);
        if (sf_writef_float(out, frames.data(), n) != n)
            return false;
    }
    return true;
}

// Copies every frame of in to out, as whole numbers when that loses nothing.
template <typename T, typename Read, typename Write>
bool copyFrames(SNDFILE *in, SNDFILE *out, int channels, Read read, Write write)
{
    std::vector<T> frames(size_t(CopyFrames) * size_t(channels));
    for (;;) {
        const sf_count_t n = read(in, frames.data(), CopyFrames);
        if (n <= 0)
            return n == 0;
        if (write(out, frames.data(), n) != n)
            return false;
    }
}
} // namespace

IdentSound::IdentSound(const IdentSettings &settings) : m_settings(settings) {}

IdentSound::~IdentSound() = default;

QList<float> IdentSound::samples(const IdentSettings &s, int rate)
{
    if (!s.identarchivo.isEmpty())
        return voiceAt(s.identarchivo, rate);
    if (s.indicativo.isEmpty())
        throw DeviceError(kCannot.arg(QStringLiteral("no hay ningún indicativo configurado.")));
    return Morse::samples(s.morseText(), s.cwvelocidadWpm, s.cwtonoHz, s.cwnivelDb, rate);
}

QString IdentSound::withIdentification(const QString &message)
{
    if (m_settings.identificacion != IdentSettings::Mode::Final)
        return {};
    SF_INFO info{};
    SoundFile in = openWavFile(message, info);
    QList<float> tail(qsizetype(std::lround(info.samplerate * GapMs / 1000.0)), 0.0f);
    tail += samples(m_settings, info.samplerate);

    const QString path = nextPath();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw DeviceError(kCannot.arg(file.errorString()));
    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    const bool asFloat = wantsFloatOutput(info.format);
    outInfo.format = SF_FORMAT_WAV | (asFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    SoundFile out = SoundFile::openDescriptor(file.handle(), SFM_WRITE, outInfo);
    bool written = bool(out);
    if (written)
        written =
            asFloat ? copyFrames<float>(in.get(), out.get(), info.channels, sf_readf_float, sf_writef_float)
                    : copyFrames<short>(in.get(), out.get(), info.channels, sf_readf_short, sf_writef_short);
    written = written && writeMono(out.get(), tail, info.channels);
    if (!written || !out.close() || !file.flush())
        throw DeviceError(kCannot.arg(QStringLiteral("no se ha podido escribir «%1».").arg(path)));
    return path;
}

QString IdentSound::alone()
{
    const QString path = nextPath();
    write(path, m_settings);
    return path;
}

void IdentSound::write(const QString &path, const IdentSettings &settings)
{
    const QList<float> mono = samples(settings, AloneRate);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw DeviceError(kCannot.arg(file.errorString()));
    SF_INFO info{};
    info.samplerate = AloneRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SoundFile out = SoundFile::openDescriptor(file.handle(), SFM_WRITE, info);
    if (!out || !writeMono(out.get(), mono, 1) || !out.close() || !file.flush())
        throw DeviceError(kCannot.arg(QStringLiteral("no se ha podido escribir «%1».").arg(path)));
}

// A new file each time: the previous one may still be open for a play.
QString IdentSound::nextPath()
{
    if (!m_dir.isValid())
        throw DeviceError(kCannot.arg(QStringLiteral("no se puede crear una carpeta temporal.")));
    if (!m_lastPath.isEmpty())
        QFile::remove(m_lastPath);
    m_lastPath = m_dir.filePath(QStringLiteral("identificacion-%1.wav").arg(++m_count));
    return m_lastPath;
}
