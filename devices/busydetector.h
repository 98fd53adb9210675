#pragma once

#include <QtGlobal>

// Hears voice on the receiver's audio from the level of short blocks of it (RMS, in dBFS). Busy
// once the level has stayed above the threshold for AttackMs, so that a click is not taken for
// someone on the channel; clear only after the level has stayed below the threshold less
// HysteresisDb for HangMs, so that the pauses between words keep the channel busy.
class BusyDetector
{
public:
    static constexpr int AttackMs = 30;
    static constexpr double HysteresisDb = 3.0;
    static constexpr int HangMs = 1000;
    // Until this much quiet has been heard after a start, the channel counts as busy: nothing
    // heard yet is never taken for clear.
    static constexpr int SettleMs = 50;

    explicit BusyDetector(double thresholdDb = -40.0) : m_thresholdDb(thresholdDb) { reset(); }

    // Forgets what was heard: busy until SettleMs of quiet.
    void reset();
    // Forgets what was heard (the station's own transmission) and hears on from a clear channel,
    // with no hang carried over: busy once AttackMs above the threshold are heard from now on.
    // Until AttackMs of sound have been heard since, the reading is not yet its own (settled()).
    void listenAfresh();
    bool settled() const { return m_unsettledMs <= 0; }
    // Takes the level of the next blockMs of sound; returns whether the channel is busy after it.
    bool feed(double levelDb, int blockMs);
    bool busy() const { return m_busy; }
    // A sound over the threshold has begun and is not yet long enough to tell a voice from a click.
    bool rising() const { return !m_busy && m_aboveMs > 0; }
    double thresholdDb() const { return m_thresholdDb; }

private:
    double m_thresholdDb;
    bool m_busy = true;
    int m_aboveMs = 0;
    int m_quietMs = 0;
    int m_unsettledMs = 0;
};

namespace busylevel {
// Below anything a sound card gives; the level of digital silence.
inline constexpr double SilenceDb = -120.0;
// The RMS level of samples in dBFS (a full-scale square wave is 0 dBFS).
double rmsDb(const qint16 *samples, qsizetype count);
} // namespace busylevel
