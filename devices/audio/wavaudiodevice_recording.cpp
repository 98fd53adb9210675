// The recording commands of the wave audio device.
#include "wavaudiodevice.h"

#include "deviceerror.h"
#include "systempath.h"
#include "wavfile.h"

#include <sndfile.h>

#include <utility>

// ---- Recording.

void WavAudioDevice::record(bool armed)
{
    requireOpen();
    if (m_fileName.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el archivo donde grabar."));

    // Everything that can fail is set up before the device changes state. The recording is
    // written beside its target, which stays as it is until "save".
    WavRecorder::Setup setup = WavRecorder::prepare(m_fileName, m_inputCard);
    interrupt(armed);
    m_recorder.start(std::move(setup));

    // The open file gives way to the new recording.
    m_file.close();
    m_frames = m_frame = 0;
    m_activity = Activity::Recording;
    m_pending = armed;
}

void WavAudioDevice::stopRecording()
{
    if (m_activity != Activity::Recording)
        return;
    m_activity = Activity::Idle;
    SF_INFO info{};
    bool written = true;
    m_file = m_recorder.stop(info, written);

    // The recording is now the open file: it can be played, and saved.
    m_frames = m_file ? info.frames : 0;
    m_rate = m_file ? info.samplerate : m_recorder.rate();
    m_channels = 1;
    m_isFloat = m_floatOut = false;
    m_frame = 0;
    if (!written)
        notifyPending(Failure);
}

void WavAudioDevice::failRecording()
{
    m_failureReason.clear();
    stopRecording();
    notifyPending(Failure);
}

void WavAudioDevice::save(bool armed)
{
    requireOpen();
    if (m_fileName.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el archivo donde guardar."));
    if (m_activity == Activity::Recording) {
        stopRecording();
        notifyPending(Successful);
    } else {
        interrupt(false);
    }

    const QString target = m_fileName;
    if (!m_recorder.hasTake()) {
        // Nothing recorded: the open file is written out under the new name, if it differs.
        if (!m_file)
            throw DeviceError(QStringLiteral("No hay nada grabado que guardar."));
        if (!SystemPath::sameFile(m_openPath, target))
            copyWavFile(m_openPath, target);
    } else {
        const QString takePath = m_recorder.takeFileName();
        m_file.close();
        try {
            m_recorder.save(target);
        } catch (const DeviceError &) {
            // The recording stays open, unsaved, for another try.
            SF_INFO info{};
            m_file = SoundFile::openRead(takePath, info);
            m_frame = 0;
            throw;
        }
        closeFile();
        try {
            openFile(target);
        } catch (const DeviceError &) {
            // Saved but not readable back: leave the device closed.
        }
    }
    if (armed)
        notifyLater(Successful);
}
