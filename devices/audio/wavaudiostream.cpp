#include "wavaudiostream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr qint64 BlockFrames = 1024;
}

WavAudioStream::WavAudioStream(SNDFILE *file, int fileRate, int fileChannels, bool fileIsFloat,
                               const QAudioFormat &out, float gain, QObject *parent)
    : QIODevice(parent), m_file(file), m_inRate(fileRate), m_inChannels(fileChannels), m_inFloat(fileIsFloat),
      m_out(out), m_outChannels(out.channelCount()), m_frameBytes(out.bytesPerFrame()), m_gain(gain)
{
    const bool sameShape = out.sampleRate() == fileRate && out.channelCount() == fileChannels;
    m_direct = sameShape && gain == 1.0f &&
               ((out.sampleFormat() == QAudioFormat::Int16 && !fileIsFloat) ||
                out.sampleFormat() == QAudioFormat::Float);
    m_step = double(fileRate) / double(out.sampleRate());
    if (!m_direct) {
        m_raw.resize(size_t(BlockFrames * m_inChannels));
        m_block.resize(size_t(BlockFrames * m_outChannels));
        m_prev.assign(size_t(m_outChannels), 0.0f);
    }
    noteBuffers();
}

void WavAudioStream::setLeadFrames(qint64 frames)
{
    m_leadFrames = std::max(frames, m_leadFed);
}

qint64 WavAudioStream::bytesAvailable() const
{
    return BlockFrames * m_frameBytes + QIODevice::bytesAvailable();
}

void WavAudioStream::noteBuffers()
{
    const qint64 bytes = qint64((m_raw.capacity() + m_block.capacity() + m_prev.capacity()) * sizeof(float));
    m_peakBytes = std::max(m_peakBytes, bytes);
}

qint64 WavAudioStream::decode()
{
    const sf_count_t got = sf_readf_float(m_file, m_raw.data(), BlockFrames);
    if (got <= 0)
        return 0;
    m_framesIn += got;
    const float *in = m_raw.data();
    float *out = m_block.data();
    for (sf_count_t f = 0; f < got; ++f, in += m_inChannels, out += m_outChannels) {
        if (m_outChannels == m_inChannels) {
            std::copy(in, in + m_inChannels, out);
        } else if (m_outChannels == 1) {
            float sum = 0;
            for (int c = 0; c < m_inChannels; ++c)
                sum += in[c];
            out[0] = sum / float(m_inChannels);
        } else {
            for (int c = 0; c < m_outChannels; ++c)
                out[c] = m_inChannels == 1 ? in[0] : (c < m_inChannels ? in[c] : 0.0f);
        }
    }
    return got;
}

void WavAudioStream::store(float v, char *&p) const
{
    v = std::clamp(v * m_gain, -1.0f, 1.0f);
    switch (m_out.sampleFormat()) {
    case QAudioFormat::UInt8: {
        const auto s = quint8(std::lround(v * 127.0f) + 128);
        std::memcpy(p, &s, sizeof s);
        p += sizeof s;
        break;
    }
    case QAudioFormat::Int16: {
        const auto s = qint16(std::lround(v * 32767.0f));
        std::memcpy(p, &s, sizeof s);
        p += sizeof s;
        break;
    }
    case QAudioFormat::Int32: {
        const auto s = qint32(std::llround(double(v) * 2147483647.0));
        std::memcpy(p, &s, sizeof s);
        p += sizeof s;
        break;
    }
    default:
        std::memcpy(p, &v, sizeof v);
        p += sizeof v;
        break;
    }
}

qint64 WavAudioStream::readData(char *data, qint64 maxlen)
{
    const qint64 maxFrames = maxlen / m_frameBytes;
    if (maxFrames <= 0)
        return 0;
    const char silence = m_out.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : 0;
    if (m_exhausted) {
        std::memset(data, silence, size_t(maxFrames * m_frameBytes));
        m_framesOut += maxFrames;
        return maxFrames * m_frameBytes;
    }
    char *p = data;
    qint64 done = 0;

    if (m_leadFed < m_leadFrames) {
        const qint64 n = std::min(m_leadFrames - m_leadFed, maxFrames);
        std::memset(p, silence, size_t(n * m_frameBytes));
        p += n * m_frameBytes;
        done += n;
        m_leadFed += n;
    }

    if (m_direct) {
        while (done < maxFrames) {
            const qint64 want = maxFrames - done;
            const sf_count_t got = m_out.sampleFormat() == QAudioFormat::Int16
                                       ? sf_readf_short(m_file, reinterpret_cast<short *>(p), want)
                                       : sf_readf_float(m_file, reinterpret_cast<float *>(p), want);
            if (got <= 0) {
                m_inputDone = true;
                break;
            }
            m_framesIn += got;
            p += got * m_frameBytes;
            done += got;
        }
    } else {
        // Linear interpolation between neighbouring input frames (a plain copy when rates match).
        const auto frameAt = [this](qint64 k) {
            return k == 0 ? m_prev.data() : &m_block[size_t((k - 1) * m_outChannels)];
        };
        while (done < maxFrames) {
            auto i = qint64(m_pos);
            while (i + 1 > m_blockFrames && !m_inputDone) {
                if (m_blockFrames > 0)
                    std::copy_n(frameAt(m_blockFrames), m_outChannels, m_prev.begin());
                m_pos -= double(m_blockFrames);
                m_blockFrames = decode();
                if (m_blockFrames == 0)
                    m_inputDone = true;
                i = qint64(m_pos);
            }
            if (i + 1 > m_blockFrames) {
                if (i > m_blockFrames || !m_started)
                    break; // nothing left to sound
                const float *a = frameAt(i);
                for (int c = 0; c < m_outChannels; ++c)
                    store(a[c], p);
            } else {
                const float *a = frameAt(i);
                const float *b = frameAt(i + 1);
                const auto t = float(m_pos - double(i));
                for (int c = 0; c < m_outChannels; ++c)
                    store(a[c] + (b[c] - a[c]) * t, p);
            }
            m_started = true;
            m_pos += m_step;
            ++done;
        }
    }

    m_framesOut += done;
    if (m_inputDone) {
        m_exhausted = true;
        m_soundEnd = m_framesOut;
        std::memset(p, silence, size_t((maxFrames - done) * m_frameBytes));
        m_framesOut += maxFrames - done;
        emit drained();
        return maxFrames * m_frameBytes;
    }
    return done * m_frameBytes;
}
