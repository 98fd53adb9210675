#include "realrig.h"

#include "audio/qtsoundserver.h"
#include "audio/wavaudiodevice.h"
#include "cm108keyer.h"
#include "fakeplatform.h"
#include "frmprincipal.h"
#include "keyers.h"
#include "portnames.h"
#include "qtserialline.h"
#include "soundcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

RealRig::RealRig() : RealRig(Options{}) {}

RealRig::RealRig(const Options &options)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = QStringLiteral("no pseudo-terminal");
        return;
    }
    m_slave = QString::fromLocal8Bit(ptsname(m_master));

    m_values = std::make_unique<ProgramValues>();
    PlatformParts parts;
    parts.settings = std::make_unique<SettingsStore>(m_dir.path());
    parts.settings->write("Pregonal", "conf", "puerto", "1");
    parts.settings->write("Pregonal", "conf", "intervalo", QString::number(options.intervalSecs));
    parts.settings->write("Pregonal", "conf", "retardo", QString::number(options.leadMs));
    parts.settings->write("Pregonal", "conf", "cola", QString::number(options.tailMs));
    parts.settings->write("Pregonal", "puertos", "COM1", m_slave);
    if (!options.salida.isEmpty())
        parts.settings->write("Pregonal", "conf", "salida", options.salida);
    if (!options.salidanombre.isEmpty())
        parts.settings->write("Pregonal", "conf", "salidanombre", options.salidanombre);
    for (const auto &[key, value] : options.conf)
        parts.settings->write("Pregonal", "conf", key, value);
    const SettingsStore *store = parts.settings.get();
    parts.MSComm1 = std::make_unique<QtSerialLine>([store](int n) { return serialDeviceForPort(*store, n); });
    m_audio = new WavAudioDevice;
    parts.reproductor.reset(m_audio);
    m_files = new FakeFileDialog;
    parts.ventanas.reset(m_files);
    m_boxes = new FakeMessageBoxes;
    parts.messageBoxes.reset(m_boxes);
    parts.registry = std::make_unique<FakeRegistry>();
    parts.launcher = std::make_unique<FakeLauncher>();
    parts.sound = std::make_unique<QtSoundServer>();
    parts.logFolder = logFolder();
    for (const auto &[section, key, value] : options.settings)
        parts.settings->write(QStringLiteral("Pregonal"), section, key, value);
    if (options.clockAt.isValid()) {
        auto clock = std::make_unique<ManualClock>(options.clockAt);
        m_clock = clock.get();
        parts.clock = std::move(clock);
    }
    // The real keyers, but a CM108 node may be the test's FIFO.
    parts.makeKeyer = [](const KeyerSettings &s, const QString &card) -> std::unique_ptr<Keyer> {
        if (s.metodo == KeyerSettings::Method::Cm108 && keyerSettingsProblem(s).isEmpty())
            return std::make_unique<Cm108Keyer>(s.cm108, s.pin, s.pinActiveLow, card, nullptr,
                                                Cm108Keyer::Nodes::StandIns);
        return makeKeyer(s, card);
    };
    m_window = std::make_unique<Frmprincipal>(*m_values, std::move(parts));
    m_window->Form_Load();
}

RealRig::~RealRig()
{
    m_window.reset();
    closeMaster();
}

void RealRig::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void RealRig::openMessage(const QString &path)
{
    m_files->answers.push_back(path);
    m_window->mnuabrirmensaje_Click();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    if (done())
        return true;
    poll.start(5);
    loop.exec();
    return done();
}

namespace {
QByteArray readProc(const char *path)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

qint64 residentKb()
{
    for (const QByteArray &line : readProc("/proc/self/status").split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 cpuMs()
{
    const QByteArray stat = readProc("/proc/self/stat");
    // Fields after the command name (which may hold spaces): state is field 3, utime 14, stime 15.
    const QList<QByteArray> f = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return -1;
    const long hz = sysconf(_SC_CLK_TCK);
    return (f.at(11).toLongLong() + f.at(12).toLongLong()) * 1000 / hz;
}

bool ptyShimLoaded()
{
    return dlsym(RTLD_DEFAULT, "pregonal_ptyshim_present") != nullptr;
}

QString realRigMissing()
{
    if (!soundServerAvailable())
        return QStringLiteral("No test sound server: eval \"$(scripts/testpulse.sh start)\" first.");
    if (qEnvironmentVariableIsEmpty("PREGONAL_LINELOG") || !ptyShimLoaded())
        return QStringLiteral("Needs the modem-line shim: LD_PRELOAD=libptyshim.so PREGONAL_LINELOG=<file>.");
    return QString();
}
