#include "busydetector.h"

#include <algorithm>
#include <cmath>

void BusyDetector::reset()
{
    m_busy = true;
    m_aboveMs = 0;
    m_quietMs = HangMs - SettleMs;
    m_unsettledMs = 0;
}

void BusyDetector::listenAfresh()
{
    m_busy = false;
    m_aboveMs = 0;
    m_quietMs = 0;
    m_unsettledMs = AttackMs;
}

bool BusyDetector::feed(double levelDb, int blockMs)
{
    m_unsettledMs = qMax(0, m_unsettledMs - blockMs);
    m_aboveMs = levelDb > m_thresholdDb ? m_aboveMs + blockMs : 0;
    if (!m_busy) {
        if (m_aboveMs >= AttackMs) {
            m_busy = true;
            m_quietMs = 0;
        }
        return m_busy;
    }
    m_quietMs = levelDb >= m_thresholdDb - HysteresisDb ? 0 : m_quietMs + blockMs;
    if (m_quietMs >= HangMs)
        m_busy = false;
    return m_busy;
}

namespace busylevel {

double rmsDb(const qint16 *samples, qsizetype count)
{
    if (count <= 0)
        return SilenceDb;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    const double rms = std::sqrt(sum / double(count)) / 32768.0;
    return rms > 0 ? std::max(SilenceDb, 20.0 * std::log10(rms)) : SilenceDb;
}

} // namespace busylevel
