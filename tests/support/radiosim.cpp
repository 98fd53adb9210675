#include "radiosim.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>

namespace {
void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
} // namespace

RadioSim::RadioSim(bool silent)
{
    m_link = m_dir.filePath(QStringLiteral("radio"));
    m_logPath = m_dir.filePath(QStringLiteral("radio.log"));
    QStringList args{QStringLiteral(PREGONAL_TS2000SIM), QStringLiteral("--link"), m_link,
                     QStringLiteral("--log"), m_logPath};
    if (silent)
        args << QStringLiteral("--silent");
    m_sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator's own pty needs no shim, and must not log into the tests' modem-line log.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LD_PRELOAD"));
    m_sim.setProcessEnvironment(env);
    m_sim.start(QStringLiteral("python3"), args);
    if (!m_sim.waitForStarted(5000) || !m_sim.waitForReadyRead(5000) || !m_sim.readAll().startsWith("ready"))
        m_error = QStringLiteral("the radio simulator did not start");
}

RadioSim::~RadioSim()
{
    stop(m_rigctld);
    stop(m_sim);
}

QString RadioSim::startRigctld()
{
    const int port = freePort();
    if (port == 0) {
        m_error = QStringLiteral("no free TCP port for rigctld");
        return QString();
    }
    m_rigctld.setProcessChannelMode(QProcess::ForwardedChannels);
    m_rigctld.start(QStringLiteral("rigctld"),
                    {QStringLiteral("-m"), QStringLiteral("2014"), QStringLiteral("-r"), m_link,
                     QStringLiteral("-T"), QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                     QString::number(port), QStringLiteral("-C"),
                     QStringLiteral("dtr_state=OFF,rts_state=OFF")});
    if (!m_rigctld.waitForStarted(5000)) {
        m_error = QStringLiteral("rigctld did not start (is libhamlib-utils installed?)");
        return QString();
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && m_rigctld.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (probe.waitForConnected(200))
            return QStringLiteral("127.0.0.1:%1").arg(port);
        QThread::msleep(50);
    }
    m_error = QStringLiteral("rigctld does not listen on port %1").arg(port);
    return QString();
}

QByteArray RadioSim::log() const
{
    QFile f(m_logPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<RadioSim::KeyEvent> RadioSim::keyEvents() const
{
    QList<KeyEvent> events;
    for (const QByteArray &line : log().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 2 && (f.at(1) == "TX" || f.at(1) == "RX"))
            events.append({f.at(0).toLongLong(), f.at(1) == "TX"});
    }
    return events;
}

QList<RadioSim::KeyPeriod> RadioSim::keyPeriods() const
{
    QList<KeyPeriod> periods;
    for (const KeyEvent &e : keyEvents()) {
        if (e.tx && (periods.isEmpty() || periods.last().downNs != 0))
            periods.append({e.ns, 0});
        else if (!e.tx && !periods.isEmpty() && periods.last().downNs == 0)
            periods.last().downNs = e.ns;
    }
    return periods;
}

QStringList RadioSim::commands() const
{
    QStringList heard;
    for (const QByteArray &line : log().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f.at(1) == "cmd")
            heard << QString::fromLatin1(f.at(2));
    }
    return heard;
}

bool RadioSim::keyed() const
{
    const QList<KeyEvent> events = keyEvents();
    return !events.isEmpty() && events.last().tx;
}

void RadioSim::clearLog()
{
    QFile::resize(m_logPath, 0);
}

void RadioSim::unplug()
{
    stop(m_rigctld);
    stop(m_sim);
}

void RadioSim::setSquelchOpen(bool open)
{
    if (m_sim.state() == QProcess::Running)
        ::kill(pid_t(m_sim.processId()), open ? SIGUSR1 : SIGUSR2);
}
