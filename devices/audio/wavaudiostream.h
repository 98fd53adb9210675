#pragma once

#include <QAudioFormat>
#include <QIODevice>

#include <sndfile.h>

#include <vector>

// Pull source for a QAudioSink: decodes an open libsndfile handle as the sink asks, converting to
// the sink's format (sample type, channels, rate) on the way. Optional leading silence; after the
// file, silence for as long as the sink keeps asking, so that the sink never runs dry and its
// played time stays exact until the last sample is out. Holds at most one small block of decoded
// audio, whatever the length of the file. A gain other than 1 scales every sample on the way.
class WavAudioStream : public QIODevice
{
    Q_OBJECT
public:
    WavAudioStream(SNDFILE *file, int fileRate, int fileChannels, bool fileIsFloat, const QAudioFormat &out,
                   float gain = 1.0f, QObject *parent = nullptr);

    // Silence before the first sample, in output frames. Can still change while it is being fed;
    // the part already fed stays.
    void setLeadFrames(qint64 frames);
    qint64 leadFrames() const { return m_leadFrames; }
    qint64 leadFed() const { return m_leadFed; }
    // Output frames handed to the sink so far, silence included.
    qint64 framesOut() const { return m_framesOut; }
    // The file is all handed over; it ended at this output frame (lead included).
    bool exhausted() const { return m_exhausted; }
    qint64 soundEndFrame() const { return m_soundEnd; }
    // The file frames this play should read: fewer before the file ran out means it was cut
    // while it played. Negative (the default): no check.
    void setExpectedFrames(qint64 frames) { m_expectedIn = frames; }
    // The file ran out before the frames expected: it was cut short since it was opened.
    bool cutShort() const { return m_exhausted && m_expectedIn >= 0 && m_framesIn < m_expectedIn; }
    // The most bytes this stream ever held in its own buffers.
    qint64 peakBufferBytes() const { return m_peakBytes; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

signals:
    // The file is all handed over (emitted from inside a read: connect queued).
    void drained();

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 decode(); // next block into m_block, in output channels; returns frames
    void store(float v, char *&p) const;
    void noteBuffers();

    SNDFILE *m_file;
    int m_inRate, m_inChannels;
    bool m_inFloat;
    QAudioFormat m_out;
    int m_outChannels;
    int m_frameBytes;
    float m_gain;
    bool m_direct; // same rate and channels, no gain: decode straight into the sink's memory
    double m_step; // input frames per output frame

    qint64 m_leadFrames = 0;
    qint64 m_leadFed = 0;
    qint64 m_framesOut = 0;
    bool m_exhausted = false;
    qint64 m_soundEnd = 0;
    bool m_inputDone = false;
    qint64 m_framesIn = 0; // file frames read
    qint64 m_expectedIn = -1;
    qint64 m_peakBytes = 0;

    std::vector<float> m_raw;   // one block as read, file channels
    std::vector<float> m_block; // the same block, output channels
    std::vector<float> m_prev;  // the frame before the block, for interpolation
    qint64 m_blockFrames = 0;
    double m_pos = 1.0; // read place: 0 is m_prev, k is m_block frame k-1
    bool m_started = false;
};
