#pragma once

#include "channelwaiter.h"
#include "repeattimer.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class AudioDevice;
class Identification;
class Keyer;
class SerialLine;
struct KeyingLines;

// Sends the open message once, or in a loop with a pause, keying the transmitter around each
// play through a keyer: the serial line unless another one is set. It keeps the two promises
// that matter most: the transmitter is never left keyed (every way out unkeys, and a guard cuts a
// key held longer than any play explains), and no message goes out without its start or its end
// (the key rises the lead before the first sample, counted from the keyer's confirmation, and
// drops the tail after the last one heard).
//
// The devices belong to the caller and must outlive the engine. Events of the devices and of the
// repeat timer arrive through the event loop; every failure is undone here and told once through
// failed().
class TransmissionEngine : public QObject
{
    Q_OBJECT
public:
    // Waiting: for a clear channel before key-up, nothing keyed; Stop ends it at once.
    enum class State { Idle, Playing, Pausing, Waiting };
    Q_ENUM(State)
    // How the last transmission ended, known when the state turns Idle: its last play heard
    // whole, Stop (or the end of the program), a failure, the guard, or a channel that stayed busy.
    enum class Ending { Completed, Stopped, Failed, Guard, ChannelBusy };
    Q_ENUM(Ending)

    // Every PortWatchMs while transmitting, the keying device is checked to still be there.
    static constexpr int PortWatchMs = 250;
    // A key-up the keying device has not confirmed within this time fails the command.
    static constexpr int KeyUpAnswerMs = 2000;

    TransmissionEngine(AudioDevice &reproductor, SerialLine &MSComm1, QObject *parent = nullptr);
    // Unkeys, closes the port and the sound: ending never leaves the transmitter keyed.
    ~TransmissionEngine() override;

    // Silence before the sound and wait after it (given to the audio device), the lines that key
    // the transmitter, and the longest one transmission may last (0: no cap). From the next send.
    void setKeying(int leadMs, int tailMs, const KeyingLines &lines, int maxTransmissionMs);
    // What keys the transmitter from the next send: keyer (owned by the caller, outliving its
    // use here), or the serial line when null. Ignored while a transmission runs.
    void setKeyer(Keyer *keyer);
    Keyer &keyer() const { return *m_keyer; }
    // Asked at each opening of a message for the station's identification after it (owned by the
    // caller, outliving its use here); null for none.
    void setIdentification(Identification *identification) { m_identification = identification; }

    // Before each key-up the channel must be clear, as the station's watch hears it (owned by the
    // caller, outliving its use here); null: key at once.
    void setChannelWatch(ChannelWatch *watch) { m_channelWait.setWatch(watch); }
    ChannelWaiter &channelWait() { return m_channelWait; }

    State state() const { return m_state; }
    // From the start of a wait for the channel to key-down: another message must wait.
    bool onAir() const { return m_state == State::Playing || m_state == State::Waiting; }
    // True while the running transmission is a single play.
    bool modounavez() const { return m_modounavez; }
    // The repeat timer: its interval is the pause of a loop.
    RepeatTimer &Timer1() { return m_timer1; }
    // How long the guard allows the key up this time, or -1 while the key is down.
    int guardInterval() const { return m_guard.isActive() ? m_guard.interval() : -1; }

    // The commands. Each returns at once; the play runs on.
    void sendOnce();
    void sendLoop();
    void stop();
    // Unkeys and releases the port and the sound, whatever runs; for the end of the program.
    void release();
    // Sends the message at path once, as sendOnce does, and leaves the message the device had
    // as it was. In the pause of a loop it goes out in that pause, and the pause starts again
    // after it. Returns whether it went on the air; when it did not, failed() said why and a
    // loop goes on with its pause.
    bool sendFile(const QString &path);

    // Makes the play on the air the last of a loop: its end ends the transmission as a single
    // play's does. Called from playEnded(), the play just heard is the last.
    void endAfterThisPlay()
    {
        if (m_state != State::Idle)
            m_modounavez = true;
    }

    Ending ending() const { return m_ending; }
    // What failed() told of the last transmission that ended in a failure: message, then cause.
    QString failureText() const
    {
        return m_failureCause.isEmpty() ? m_failureMessage
                                        : m_failureMessage + QLatin1Char(' ') + m_failureCause;
    }
    QString failureMessage() const { return m_failureMessage; }
    QString failureCause() const { return m_failureCause; }
    // True while a message sent by sendFile is on the air.
    bool sendingFile() const { return m_fileSend != FileSend::None; }
    // The device the messages play on, for what it tells of the last play.
    AudioDevice &reproductor() const { return m_reproductor; }

    // The events that drive the cycle, as the devices and timers raise them.
    void reproductor_Done(int NotifyCode);
    void Timer1_Timer();
    void guardTimeout();
    void watchPort();
    // The keying device did not confirm a key-up in KeyUpAnswerMs.
    void keyUpUnanswered();

signals:
    void stateChanged(TransmissionEngine::State state);
    // The message to send has been opened: its length in milliseconds.
    void messageOpened(int lengthMs);
    // A play ran to its last sample (and its tail) and the key is down.
    void playEnded();
    // A transmission could not start or go on; it has been undone, nothing is keyed. message is
    // what the operator reads first, cause (possibly empty) the detail below it.
    void failed(const QString &message, const QString &cause);

private:
    void send(bool once);
    void useKeyer(Keyer *keyer);
    void openMessage();
    void checkMessageFits(int lengthMs);
    void keyUpWhenClear();
    void channelGaveUp();
    void keyUp();
    void keyedUp();
    void keyUpFailed(const QString &reason);
    void keyDown();
    void startPlay();
    void keyerLost();
    void failTransmission(const QString &message, const QString &cause = QString(),
                          Ending ending = Ending::Failed);
    void commandQuietly(const QString &command);
    void setState(State state);
    void setIdle(Ending ending);
    bool sendFileInPause(const QString &path);
    void backToTheLoop();
    void restoreFile();

    AudioDevice &m_reproductor;
    SerialLine &m_MSComm1;
    std::unique_ptr<Keyer> m_serialKeyer;
    Keyer *m_keyer = nullptr;
    Identification *m_identification = nullptr;
    RepeatTimer m_timer1;
    ChannelWaiter m_channelWait;
    // Unkeys the transmitter if the lines stay up longer than a play can explain, whatever the
    // sound path does.
    QTimer m_guard;
    QTimer m_portWatch;
    QTimer m_keyUpWait;
    // A key-up was asked for and its answer has not come: only that answer may start the play.
    bool m_keyUpPending = false;
    // The play to start is the first of a send command (its failure is the command's).
    bool m_firstPlay = false;
    State m_state = State::Idle;
    bool m_modounavez = false;
    // A play with an armed completion is out: only its Done may end or continue the cycle.
    bool m_awaitingDone = false;
    int m_lengthMs = 0;
    int m_leadMs = 0;
    int m_tailMs = 0;
    int m_maxTransmissionMs = 0;
    Ending m_ending = Ending::Completed;
    // A message of sendFile on the air, on its own or in the pause of a loop; the device's own
    // file is given back after it.
    enum class FileSend { None, Alone, InLoop };
    FileSend m_fileSend = FileSend::None;
    QString m_ownFile;
    QString m_failureMessage;
    QString m_failureCause;
};
