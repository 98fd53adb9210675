// Exactly one transmission per scheduled slot and per command, whatever runs beside the schedule:
// a user service (--programa) runs one slot a minute while scripts' --enviar arrive at random
// moments (during plays and loop pauses too), second --programa attempts meet the lock, and the
// service is killed (SIGKILL) between slots and during a slot's play and started again at once.
// Every program's wall clock runs fast (the fastclock shim), so a minute lasts 60/speed real
// seconds while plays, pauses and the guard last their real length. Counted from the log: each
// slot and each command must have exactly one line.
//   bench_slots [slots=100] [speed=20] [seed=1]
// Run by bench/run.sh (LD_PRELOAD ptyshim, PREGONAL_LINELOG, a private sound server); it starts a
// session bus of its own. PREGONAL_FASTCLOCK_LIB names the shim.
#include "clihome.h"
#include "soundcapture.h"

#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <random>

#include <signal.h>
#include <unistd.h>

namespace {
constexpr qint64 kMinuteMs = 60 * 1000;

struct Script
{
    QString name;
    QProcess *process = nullptr;
};

struct Counts
{
    int ok = 0, lost = 0, doubled = 0;
    QMap<QString, int> outcomes; // how the single line of each ended
};

class Bench
{
public:
    Bench(int count, double speed, unsigned seed) : m_slots(count), m_speed(speed), m_random(seed) {}

    int run();

private:
    qint64 fastNow() const
    {
        return m_fastStart + qint64(double(QDateTime::currentMSecsSinceEpoch() - m_realStart) * m_speed);
    }
    QByteArray schedule();
    void startOwner();
    void killOwner();
    void plan(int minute);
    void act(const QString &what);
    void pollOwner();
    Counts countSlots(const QMap<QString, QStringList> &results) const;
    Counts countCommands(const QMap<QString, QStringList> &results) const;

    int m_slots;
    double m_speed;
    std::mt19937 m_random;
    QTemporaryDir m_media;
    QString m_tone;
    qint64 m_realStart = 0;
    qint64 m_fastStart = 0;
    qint64 m_firstSlot = 0; // fast ms
    Home *m_home = nullptr;
    QString m_lineLog;
    QProcess *m_owner = nullptr;
    bool m_ownerReady = false;
    QByteArray m_ownerSeen;
    QList<QProcess *> m_gone;
    QList<Script> m_scripts;
    QList<QProcess *> m_seconds; // second --programa attempts
    QList<QPair<double, QString>> m_planned; // second of the minute, what
    int m_killsBetween = 0, m_killsInPlay = 0, m_noPlayToKill = 0;
    int m_killArmedAt = -1; // key-ups seen when a kill in the slot's play was armed
    qint64 m_killAtMs = 0;
};

QByteArray Bench::schedule()
{
    QByteArray groups;
    for (int i = 0; i < m_slots; ++i) {
        const QString file = m_media.filePath(QStringLiteral("slot-%1.wav").arg(i, 3, 10, QLatin1Char('0')));
        QFile::link(m_tone, file);
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(m_firstSlot + i * kMinuteMs);
        groups += QStringLiteral("[programa%1]\narchivo=%2\nhoras=%3\nactivo=1\n\n")
                      .arg(i + 1)
                      .arg(file, at.toString(QStringLiteral("HH:mm")))
                      .toUtf8();
    }
    return groups;
}

void Bench::startOwner()
{
    m_owner = new QProcess;
    m_home->start(*m_owner, {QStringLiteral("--programa")});
    m_ownerReady = false;
    m_ownerSeen.clear();
}

void Bench::pollOwner()
{
    // Read all along: a full pipe would stop the service.
    m_ownerSeen += m_owner->readAllStandardError();
    if (!m_ownerReady)
        m_ownerReady = m_ownerSeen.contains("programación en marcha");
}

void Bench::killOwner()
{
    ::kill(pid_t(m_owner->processId()), SIGKILL);
    m_owner->waitForFinished(5000);
    m_gone << m_owner;
    startOwner();
}

// What happens in one minute of the schedule; its slot is at second 0.
void Bench::plan(int minute)
{
    std::uniform_real_distribution<double> second(0, 60);
    std::uniform_real_distribution<double> chance(0, 1);
    m_planned.clear();
    const double kill = chance(m_random);
    const bool killInPlay = kill < 0.08;
    if (killInPlay)
        m_planned << qMakePair(0.0, QStringLiteral("kill in play"));
    else if (kill < 0.16) // after the slot's play, or in a script's
        m_planned << qMakePair(35 + chance(m_random) * 15, QStringLiteral("kill between"));
    // Scripts now and then, a loop of two plays among them; none over a play about to be killed.
    for (int n = int(chance(m_random) * 3); n > 0; --n) {
        const double at = killInPlay ? 30 + chance(m_random) * 30 : second(m_random);
        m_planned << qMakePair(at, chance(m_random) < 0.25 ? QStringLiteral("loop") : QStringLiteral("once"));
    }
    if (chance(m_random) < 0.15)
        m_planned << qMakePair(second(m_random), QStringLiteral("second"));
    std::sort(m_planned.begin(), m_planned.end());
    Q_UNUSED(minute);
}

void Bench::act(const QString &what)
{
    if (what == QLatin1String("once") || what == QLatin1String("loop")) {
        Script s;
        s.name = QStringLiteral("cmd-%1.wav").arg(m_scripts.size(), 3, 10, QLatin1Char('0'));
        const QString file = m_media.filePath(s.name);
        QFile::link(m_tone, file);
        s.process = new QProcess;
        QStringList args{QStringLiteral("--enviar"), file};
        if (what == QLatin1String("loop"))
            args << QStringList{"--bucle", "--veces", "2", "--intervalo", "1"};
        m_home->start(*s.process, args);
        m_scripts << s;
    } else if (what == QLatin1String("second") && m_ownerReady) {
        auto *p = new QProcess;
        m_home->start(*p, {QStringLiteral("--programa")});
        m_seconds << p;
    } else if (what == QLatin1String("kill between") && m_ownerReady) {
        killOwner();
        ++m_killsBetween;
    } else if (what == QLatin1String("kill in play")) {
        m_killArmedAt = int(keyPeriods(readLineLog(m_lineLog)).size());
        m_killAtMs = 0;
    }
}

Counts Bench::countSlots(const QMap<QString, QStringList> &results) const
{
    Counts c;
    for (int i = 0; i < m_slots; ++i) {
        const QStringList r = results.value(QStringLiteral("slot-%1.wav").arg(i, 3, 10, QLatin1Char('0')));
        r.isEmpty() ? ++c.lost : r.size() > 1 ? ++c.doubled : ++c.ok;
        if (r.size() == 1)
            ++c.outcomes[r.first().section(QLatin1Char('|'), 0, 0)];
    }
    return c;
}

// A command told of its end by its exit status: 0 with a "completa" line, 1 with a line of a
// failure, or 1 with none when the station went before its message went out.
Counts Bench::countCommands(const QMap<QString, QStringList> &results) const
{
    Counts c;
    for (const Script &s : m_scripts) {
        const int status = s.process->state() == QProcess::NotRunning ? s.process->exitCode() : -1;
        const QStringList r = results.value(s.name);
        const QString errors = QString::fromUtf8(s.process->readAllStandardError());
        if (r.size() > 1) {
            ++c.doubled;
        } else if (r.isEmpty()) {
            // Withdrawn unsent when the station went, and told so: not lost, yet not sent.
            const bool told = status == 1 && errors.contains(QStringLiteral("se ha cerrado"));
            told ? ++c.outcomes[QStringLiteral("no line, exit 1: the station went first")] : ++c.lost;
            QTextStream(stderr) << (told ? "told: " : "lost: ") << s.name << " exit " << status << ": " << errors;
        } else if (const QString result = r.first().section(QLatin1Char('|'), 0, 0);
                   (status == 0) == (result == QLatin1String("completa"))) {
            ++c.ok;
            ++c.outcomes[QStringLiteral("%1, exit %2").arg(result).arg(status)];
            if (result == QLatin1String("fallo"))
                QTextStream(stderr) << s.name << ": " << r.first() << "\n";
        } else {
            ++c.lost; // its status says otherwise than its line
            QTextStream(stderr) << "mismatch: " << s.name << " exit " << status << " line " << r.first() << "\n";
        }
    }
    return c;
}

int Bench::run()
{
    m_tone = m_media.filePath(QStringLiteral("tone.wav"));
    writeToneWav(m_tone, 48000, 1, 48000 * 3 / 10);
    m_lineLog = qEnvironmentVariable("PREGONAL_LINELOG");
    QFile::resize(m_lineLog, 0);

    // The fast clock stays behind the real one (the crash note's file time is real), on one day.
    m_realStart = QDateTime::currentMSecsSinceEpoch();
    QDateTime fastDay(QDate::currentDate(), QTime(1, 0));
    if (fastDay.msecsTo(QDateTime::currentDateTime()) < 3 * 3600 * 1000)
        fastDay = fastDay.addDays(-1);
    m_fastStart = fastDay.toMSecsSinceEpoch();
    m_firstSlot = (m_fastStart / kMinuteMs + 2) * kMinuteMs;

    QProcess bus;
    const QString address = startPrivateBus(bus);
    Home home(schedule());
    m_home = &home;
    home.preload = qEnvironmentVariable("PREGONAL_FASTCLOCK_LIB");
    home.environment = {
        {QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address},
        {QStringLiteral("PREGONAL_FASTCLOCK"),
         QStringLiteral("%1 %2 %3").arg(m_realStart).arg(m_fastStart).arg(m_speed)}};
    startOwner();

    int planned = -1;
    const qint64 end = m_firstSlot + (m_slots - 1) * kMinuteMs + 70 * 1000;
    while (fastNow() < end) {
        QThread::msleep(10);
        QCoreApplication::processEvents();
        pollOwner();
        const qint64 since = fastNow() - m_firstSlot;
        const int minute = since < 0 ? -1 : int(since / kMinuteMs);
        if (minute != planned && minute < m_slots) {
            planned = minute;
            if (minute >= 0)
                plan(minute);
        }
        const double second = double(since - qint64(minute) * kMinuteMs) / 1000;
        while (!m_planned.isEmpty() && minute >= 0 && m_planned.constFirst().first <= second)
            act(m_planned.takeFirst().second);
        if (m_killArmedAt >= 0) {
            const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
            const bool onAir = keyed.size() > m_killArmedAt && keyed.constLast().downNs == 0;
            if (onAir && m_killAtMs == 0)
                m_killAtMs = QDateTime::currentMSecsSinceEpoch() + 150;
            if (m_killAtMs != 0 && QDateTime::currentMSecsSinceEpoch() >= m_killAtMs) {
                onAir ? ++m_killsInPlay : ++m_noPlayToKill;
                if (onAir)
                    killOwner();
                m_killArmedAt = -1;
            } else if (second > 50) {
                ++m_noPlayToKill;
                m_killArmedAt = -1;
            }
        }
    }

    for (const Script &script : std::as_const(m_scripts))
        script.process->waitForFinished(30000);
    m_owner->terminate();
    m_owner->waitForFinished(10000);
    QMap<QString, QStringList> results;
    for (const QStringList &line : readLatestLog(home.logFolder(), 100000))
        results[QFileInfo(line.value(3)).fileName()] << line.value(5) + QLatin1Char('|') + line.value(6);
    const Counts commands = countCommands(results);
    const Counts slotCounts = countSlots(results);
    int refused = 0, taken = 0;
    for (QProcess *p : std::as_const(m_seconds)) {
        if (p->state() != QProcess::NotRunning && !p->waitForFinished(5000)) {
            ++taken; // it runs a schedule beside the owner's
            p->kill();
            p->waitForFinished();
        } else if (p->exitCode() == 1 && p->readAllStandardError().contains("ya la ejecuta")) {
            ++refused;
        }
    }
    const QList<KeyPeriod> keyed = keyPeriods(readLineLog(m_lineLog));
    bus.terminate();
    bus.waitForFinished(5000);

    QTextStream out(stdout);
    const auto outcomes = [&out](const Counts &c) {
        for (auto it = c.outcomes.cbegin(); it != c.outcomes.cend(); ++it)
            out << "    " << it.key() << ": " << it.value() << "\n";
    };
    out << "slots: " << m_slots << " at one a minute, clock " << m_speed << "x (" << 60 / m_speed
        << " s a minute); service killed " << m_killsBetween << " times between slots, " << m_killsInPlay
        << " times in a play (" << m_noPlayToKill << " planned kills found no play)\n";
    out << "  slots:    " << slotCounts.ok << " with one line, " << slotCounts.doubled << " doubled, "
        << slotCounts.lost << " lost\n";
    outcomes(slotCounts);
    out << "  commands: " << m_scripts.size() << " --enviar, " << commands.ok << " with one line and its status, "
        << commands.doubled << " doubled, " << commands.lost << " lost\n";
    outcomes(commands);
    out << "  second --programa: " << m_seconds.size() << " tried, " << refused << " refused by the lock, "
        << taken << " ran beside the owner\n";
    out << "  key-ups on the line: " << keyed.size() << "\n";
    qDeleteAll(m_gone);
    qDeleteAll(m_seconds);
    for (const Script &s : std::as_const(m_scripts))
        delete s.process;
    delete m_owner;
    return slotCounts.doubled + slotCounts.lost + commands.doubled + commands.lost + taken == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    const double speed = argc > 2 ? QByteArray(argv[2]).toDouble() : 20;
    const unsigned seed = argc > 3 ? QByteArray(argv[3]).toUInt() : 1;
    return Bench(qMax(1, count), qMax(1.0, speed), seed).run();
}
