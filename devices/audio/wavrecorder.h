#pragma once

#include "audioowners.h"
#include "replacementfile.h"
#include "soundcardchoice.h"
#include "soundfile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QObject>

#include <memory>

class QAudioSource;

// A recording from a sound input, 16-bit mono, into a file beside its target: the
// target stays as it is until the recording is saved over it. After stop() the recording is the
// take, kept until it is saved or discarded.
class WavRecorder : public QObject
{
    Q_OBJECT
public:
    // What a recording needs, all set up before anything changes: the input, its format, and the
    // file it is written to.
    struct Setup
    {
        QAudioDevice input;
        QAudioFormat format;
        std::unique_ptr<ReplacementFile> file;
        SoundFile writer;
    };

    explicit WavRecorder(QObject *parent = nullptr);
    ~WavRecorder() override;

    // Finds the input card and chooses the format, and creates the file beside target. Throws
    // DeviceError.
    static Setup prepare(const QString &target, const SoundCardChoice &inputCard);
    // Records into setup, which replaces any take. Throws DeviceError when the input does not
    // start; the take before stays then.
    void start(Setup setup);
    // Ends the recording: the input left is written and the file finished. Returns the take
    // opened for reading (empty when it cannot be read) and its info; written is false when the
    // last of the input could not be written.
    SoundFile stop(SF_INFO &info, bool &written);

    // Length of the running recording, in ms.
    qint32 recordedMs() const;
    int rate() const { return m_rate; }

    // A finished recording not saved yet.
    bool hasTake() const { return m_unsaved && m_file; }
    QString takeFileName() const { return m_file ? m_file->fileName() : QString(); }
    // Puts the take at target, moved when it lies beside it, else copied; the take is then gone.
    // Throws DeviceError; the take stays then.
    void save(const QString &target);
    void discard();

signals:
    // The input failed, or the recording could not be written; the receiver calls stop().
    void failed();

private:
    bool writeInput(); // false when the file took less than the input gave

    std::unique_ptr<ReplacementFile> m_file; // the recording, beside its target
    SoundFile m_writer;
    QIODevice *m_input = nullptr; // owned by the source
    SourceOwner m_source;
    QByteArray m_carry;
    qint64 m_recorded = 0;
    int m_rate = 0;
    bool m_unsaved = false;
};
