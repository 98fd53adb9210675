#include "channelwatch.h"

#include "busysource.h"
#include "deviceerror.h"

ChannelWatch::ChannelWatch(QObject *parent) : QObject(parent)
{
    m_elapsed.start();
    m_afresh.setSingleShot(true);
    m_afresh.setTimerType(Qt::PreciseTimer);
    connect(&m_afresh, &QTimer::timeout, this, &ChannelWatch::listenAfreshIfDue);
}

void ChannelWatch::watch(std::unique_ptr<BusySource> source, const BusySettings &settings,
                         const QString &settingsProblem)
{
    m_source = std::move(source);
    m_settings = settings;
    m_settingsProblem = settingsProblem;
    m_problem.clear();
    m_history.setIgnoreMs(settings.ocupadoignorarMs);
    m_history.stopWatching();
    if (!settingsProblem.isEmpty())
        m_source.reset();
    if (!m_source)
        return;
    try {
        m_source->open();
    } catch (const DeviceError &e) {
        m_problem = e.reason();
    }
    connect(m_source.get(), &BusySource::busyChanged, this, [this](bool busy) {
        m_history.heard(busy, nowMs());
        emit changed();
    });
    connect(m_source.get(), &BusySource::heardAfresh, this, [this](bool busy) {
        m_history.heardAfresh(busy, nowMs());
        emit changed();
    });
    connect(m_source.get(), &BusySource::lost, this, [this](const QString &reason) {
        m_problem = reason;
        m_history.stopWatching();
        emit changed();
    });
    watchFromNow();
}

void ChannelWatch::watchFromNow()
{
    m_askedAfresh = false;
    if (m_source && m_source->isOpen())
        m_history.watchFrom(nowMs(), m_source->busy());
    listenAfreshIfDue();
}

void ChannelWatch::keyed(bool on)
{
    m_history.keyed(on, nowMs());
    m_askedAfresh = false;
    m_afresh.stop();
    if (!on)
        listenAfreshIfDue();
}

void ChannelWatch::listenAfreshIfDue()
{
    const qint64 inMs = m_history.afreshInMs(nowMs());
    if (inMs > 0)
        return m_afresh.start(int(qMin<qint64>(inMs, BusySettings::MaxIgnorarMs)));
    if (inMs < 0 || m_askedAfresh || !m_source || !m_source->isOpen())
        return;
    m_askedAfresh = true;
    m_source->listenAfresh();
}

QString ChannelWatch::readable()
{
    if (!m_settings.on())
        return QString();
    if (!m_source) {
        if (!m_settingsProblem.isEmpty())
            return m_settingsProblem;
        return m_problem.isEmpty()
                   ? QStringLiteral("No se ha podido preparar la fuente «%1» para saber si el canal está ocupado.")
                         .arg(BusySettings::sourceName(m_settings.ocupado))
                   : m_problem;
    }
    if (m_source->isOpen() && m_history.watching())
        return QString();
    try {
        if (!m_source->isOpen())
            m_source->open();
    } catch (const DeviceError &e) {
        m_problem = e.reason();
        return QStringLiteral("No se puede leer %1: %2").arg(m_source->description(), e.reason());
    }
    m_problem.clear();
    watchFromNow(); // heard from now on only: the time it was not heard is not clear time
    return QString();
}

QString ChannelWatch::unreadableNow() const
{
    if (!m_settings.on() || (m_source && m_source->isOpen() && m_history.watching()))
        return QString();
    if (!m_problem.isEmpty())
        return m_problem;
    return QStringLiteral("Se ha dejado de leer %1.")
        .arg(m_source ? m_source->description() : BusySettings::sourceName(m_settings.ocupado));
}
