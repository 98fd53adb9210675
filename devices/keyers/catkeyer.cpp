#include "catkeyer.h"

#include "deviceerror.h"
#include "devicenode.h"
#include "keyersettings.h"

#include <QFileInfo>
#include <QMetaObject>

#include <atomic>

#include <hamlib/rig.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString hamlibText(int code)
{
    switch (code < 0 ? -code : code) {
    case RIG_ETIMEOUT:
        return QStringLiteral("el equipo no responde");
    case RIG_EIO:
        return QStringLiteral("no se puede usar el puerto CAT (error de entrada o salida)");
    case RIG_EPROTO:
        return QStringLiteral(
            "el equipo responde algo que no se entiende: compruebe el modelo y la velocidad");
    case RIG_ERJCTED:
        return QStringLiteral("el equipo ha rechazado la orden");
    case RIG_ECONF:
    case RIG_EINVAL:
        return QStringLiteral("los valores del equipo no son válidos");
    case RIG_ENIMPL:
    case RIG_ENAVAIL:
        return QStringLiteral("este modelo no permite activar el transmisor por CAT");
    case RIG_EPOWER:
        return QStringLiteral("el equipo está apagado");
    default:
        return QStringLiteral("error %1 de Hamlib").arg(code);
    }
}

// Errors after which the radio cannot be reached any more.
bool lostCode(int code)
{
    code = code < 0 ? -code : code;
    return code == RIG_EIO || code == RIG_BUSERROR;
}

// Hamlib's own list of models, without opening anything.
bool hamlibKnowsModel(int model)
{
    rig_set_debug(RIG_DEBUG_NONE);
    rig_check_backend(rig_model_t(model));
    return model > 0 && rig_get_caps(rig_model_t(model)) != nullptr;
}

QString unknownModelText(int model)
{
    return QStringLiteral("Hamlib no conoce el modelo de equipo %1").arg(model);
}
} // namespace

// Hamlib's side: owns the RIG handle and is only ever used on the keyer's thread.
class CatRig : public QObject
{
    Q_OBJECT
public:
    CatRig(int model, const QString &port, int speed)
        : m_model(model), m_port(port.toLocal8Bit()), m_speed(speed)
    {
    }
    ~CatRig() override { close(); }

    void open()
    {
        close();
        m_failure.clear();
        rig_set_debug(RIG_DEBUG_NONE);
        m_rig = rig_init(rig_model_t(m_model));
        if (!m_rig) {
            m_failure = unknownModelText(m_model);
            return;
        }
        std::strncpy(m_rig->state.rigport.pathname, m_port.constData(), HAMLIB_FILPATHLEN - 1);
        if (m_speed > 0)
            m_rig->state.rigport.parm.serial.rate = m_speed;
        setConf("dtr_state", "OFF");
        setConf("rts_state", "OFF");
        setConf("timeout", QByteArray::number(CatKeyer::AnswerMs));
        setConf("retry", "0");
        const int code = rig_open(m_rig);
        if (code != RIG_OK) {
            m_failure = QStringLiteral("no se puede abrir el equipo: %1").arg(hamlibText(code));
            rig_cleanup(m_rig);
            m_rig = nullptr;
            return;
        }
        m_opened = true;
        rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF);
    }

    void openIfClosed()
    {
        if (!m_opened)
            open();
    }

    // The radio's squelch: 1 open (someone on the channel), 0 closed, -1 with the failure.
    void readDcd()
    {
        if (!m_opened) {
            emit squelchRead(-1, m_failure.isEmpty() ? QStringLiteral("el equipo no está abierto") : m_failure,
                             false);
            return;
        }
        dcd_t dcd = RIG_DCD_OFF;
        const int code = rig_get_dcd(m_rig, RIG_VFO_CURR, &dcd);
        if (code != RIG_OK)
            emit squelchRead(-1, hamlibText(code), lostCode(code));
        else
            emit squelchRead(dcd == RIG_DCD_ON ? 1 : 0, QString(), false);
    }

    void setPtt(bool on, quint64 request)
    {
        if (on && ending)
            return; // the keyer is going: a key-up still queued is dropped, not sent and undone
        if (!m_opened) {
            emit answered(on, request,
                          m_failure.isEmpty() ? QStringLiteral("el equipo no está abierto") : m_failure,
                          false);
            return;
        }
        const int code = rig_set_ptt(m_rig, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF);
        emit answered(on, request, code == RIG_OK ? QString() : hamlibText(code), lostCode(code));
    }

    // Receive first, whatever the radio was told last: closing never leaves it keyed.
    void close()
    {
        if (!m_rig)
            return;
        if (m_opened)
            rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF);
        rig_close(m_rig);
        rig_cleanup(m_rig);
        m_rig = nullptr;
        m_opened = false;
    }

    std::atomic<bool> ending{false};

signals:
    void answered(bool on, quint64 request, const QString &failure, bool lost);
    void squelchRead(int state, const QString &failure, bool lost);

private:
    void setConf(const char *name, const QByteArray &value)
    {
        const token_t token = rig_token_lookup(m_rig, name);
        if (token != RIG_CONF_END)
            rig_set_conf(m_rig, token, value.constData());
    }

    int m_model;
    QByteArray m_port;
    int m_speed;
    RIG *m_rig = nullptr;
    bool m_opened = false;
    QString m_failure;
};

CatKeyer::CatKeyer(int model, const QString &port, int speed, QObject *parent)
    : Keyer(parent), m_model(model), m_port(port.trimmed()), m_speed(speed)
{
    m_thread.setObjectName(QStringLiteral("cat"));
    m_rig = new CatRig(m_model, m_port, m_speed);
    m_rig->moveToThread(&m_thread);
    connect(m_rig, &CatRig::answered, this, &CatKeyer::answered);
    connect(m_rig, &CatRig::squelchRead, this, [this](int state, const QString &failure, bool lost) {
        m_lost = m_lost || lost;
        emit squelchRead(state, failure);
    });
}

// What was asked before runs first (but no key-up), then the radio is closed receiving.
CatKeyer::~CatKeyer()
{
    m_rig->ending = true;
    close();
    QMetaObject::invokeMethod(
        m_rig, [thread = &m_thread] { thread->quit(); }, Qt::QueuedConnection);
    if (m_thread.isRunning() && !m_thread.wait(3 * AnswerMs))
        qWarning("El equipo no ha respondido al cerrarlo.");
    delete m_rig; // the thread has ended: closing it here is the last Hamlib call
}

QString CatKeyer::settingsProblem() const
{
    return hamlibKnowsModel(m_model) ? QString() : unknownModelText(m_model) + QLatin1Char('.');
}

// What can be known without the radio is refused here; the rest with the first key-up.
void CatKeyer::open()
{
    checkPort();
    if (!m_thread.isRunning())
        m_thread.start();
    m_open = true;
    m_lost = false;
    QMetaObject::invokeMethod(m_rig, m_held ? &CatRig::openIfClosed : &CatRig::open, Qt::QueuedConnection);
}

void CatKeyer::setHeld(bool held)
{
    if (held == m_held)
        return;
    if (!held) {
        m_held = false;
        if (!m_open)
            QMetaObject::invokeMethod(m_rig, &CatRig::close, Qt::QueuedConnection);
        return;
    }
    checkPort();
    if (!m_thread.isRunning())
        m_thread.start();
    m_held = true;
    m_lost = false;
    QMetaObject::invokeMethod(m_rig, &CatRig::openIfClosed, Qt::QueuedConnection);
}

void CatKeyer::readSquelch()
{
    if (m_open || m_held)
        QMetaObject::invokeMethod(m_rig, &CatRig::readDcd, Qt::QueuedConnection);
    else
        emit squelchRead(-1, QStringLiteral("el equipo no está abierto"));
}

void CatKeyer::checkPort() const
{
    if (m_port.isEmpty())
        throw DeviceError(QStringLiteral("No se ha indicado el puerto CAT del equipo."));
    if (const QString problem = settingsProblem(); !problem.isEmpty())
        throw DeviceError(problem);
    if (!isNetworkCatPort(m_port)) {
        const QByteArray path = m_port.toLocal8Bit();
        struct stat st = {};
        if (::stat(path.constData(), &st) != 0)
            throw DeviceError(QStringLiteral("No se encuentra el puerto CAT %1: compruebe que el equipo esté "
                                             "conectado.")
                                  .arg(m_port));
        // Hamlib would write its commands into an ordinary file as readily as into a port; and on a
        // device that is no terminal it fails after closing the port twice, which can close
        // another thread's descriptor (the sound server's). A pty has no subsystem to tell.
        const QString kind = S_ISCHR(st.st_mode) ? charDeviceSubsystem(st.st_rdev) : QString();
        if (!S_ISCHR(st.st_mode) || (!kind.isEmpty() && kind != QLatin1String("tty")))
            throw DeviceError(
                QStringLiteral("%1 no es un puerto serie: escriba el del equipo, como /dev/ttyUSB0, "
                               "o con el modelo 2 dónde escucha rigctld (localhost:4532).")
                    .arg(m_port));
        if (::access(path.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
            throw DeviceError(
                QStringLiteral("No se puede abrir el puerto CAT %1: permiso denegado. Entre en el "
                               "grupo «dialout» y vuelva a iniciar la sesión.")
                    .arg(m_port));
    }
}

void CatKeyer::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_awaited = 0;
    // Held for the squelch, the radio stays open, receiving.
    if (m_held)
        QMetaObject::invokeMethod(
            m_rig, [rig = m_rig] { rig->setPtt(false, 0); }, Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(m_rig, &CatRig::close, Qt::QueuedConnection);
}

void CatKeyer::keyUp()
{
    if (!m_open) {
        emit keyUpFailed(QString());
        return;
    }
    const quint64 request = ++m_requests;
    m_awaited = request;
    QMetaObject::invokeMethod(
        m_rig, [rig = m_rig, request] { rig->setPtt(true, request); }, Qt::QueuedConnection);
}

void CatKeyer::keyDown()
{
    m_awaited = 0;
    if (m_open)
        QMetaObject::invokeMethod(
            m_rig, [rig = m_rig] { rig->setPtt(false, 0); }, Qt::QueuedConnection);
}

bool CatKeyer::check()
{
    if (!m_open || m_lost)
        return false;
    return isNetworkCatPort(m_port) || QFileInfo::exists(m_port);
}

QString CatKeyer::description() const
{
    return QStringLiteral("el equipo (modelo %1 de Hamlib) en %2").arg(m_model).arg(m_port);
}

// Only the answer to the last key-up, with no key-down asked since, confirms it.
void CatKeyer::answered(bool on, quint64 request, const QString &failure, bool lost)
{
    m_lost = m_lost || lost;
    if (!on || request != m_awaited)
        return;
    m_awaited = 0;
    if (failure.isEmpty())
        emit keyedUp();
    else
        emit keyUpFailed(failure);
}

#include "catkeyer.moc"
