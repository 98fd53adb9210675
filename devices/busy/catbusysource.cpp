#include "catbusysource.h"

#include "catkeyer.h"
#include "deviceerror.h"

CatBusySource::CatBusySource(CatKeyer &shared, QObject *parent)
    : BusySource(parent), m_rig(&shared), m_description(shared.description())
{
    m_timer.setInterval(PollMs);
    connect(&m_timer, &QTimer::timeout, this, &CatBusySource::poll);
    connect(&shared, &CatKeyer::squelchRead, this, &CatBusySource::squelchRead);
    connect(&shared, &QObject::destroyed, this, [this] {
        m_rig = nullptr;
        if (m_open)
            lose(QStringLiteral("se ha cerrado la conexión con el equipo"));
    });
}

CatBusySource::CatBusySource(std::unique_ptr<CatKeyer> own, QObject *parent) : CatBusySource(*own, parent)
{
    m_own = std::move(own);
}

CatBusySource::~CatBusySource()
{
    close();
    if (m_rig)
        disconnect(m_rig, nullptr, this, nullptr);
    m_own.reset();
}

void CatBusySource::open()
{
    if (m_open)
        return;
    if (!m_rig)
        throw DeviceError(
            QStringLiteral("No se puede leer el silenciador del equipo: no hay conexión con él."));
    m_rig->setHeld(true);
    m_open = true;
    m_busy = true;
    m_asked = false;
    m_timer.start();
    poll();
}

void CatBusySource::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_timer.stop();
    if (m_rig)
        m_rig->setHeld(false);
}

QString CatBusySource::description() const
{
    return m_description + QStringLiteral(", silenciador por CAT");
}

void CatBusySource::poll()
{
    if (!m_open || m_asked || !m_rig)
        return;
    m_asked = true;
    m_rig->readSquelch();
}

void CatBusySource::squelchRead(int state, const QString &failure)
{
    if (!m_open || !m_asked)
        return;
    m_asked = false;
    if (state < 0)
        return lose(failure);
    if ((state == 1) == m_busy)
        return;
    m_busy = state == 1;
    emit busyChanged(m_busy);
}

void CatBusySource::lose(const QString &why)
{
    close();
    emit lost(QStringLiteral("No se puede saber por CAT si el canal está ocupado: %1.").arg(why));
}
