#include "transmissionlog.h"

#include "errortext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#ifdef PREGONAL_HAVE_JOURNAL
#include <sys/uio.h>
#include <systemd/sd-journal.h>
#endif

const QString TransmissionLog::Header =
    QStringLiteral("inicio;fin;origen;archivo;segundos;resultado;detalle");
const QString TransmissionLog::FileName = QStringLiteral("registro.csv");

namespace {
const QString kMarker = QStringLiteral("en_curso");
const QString kInterrupted =
    QStringLiteral("El programa terminó de forma inesperada durante la transmisión; "
                   "el fin es el último momento en que se sabe que seguía en el aire.");

// Writes all of data to the file at path (appending or replacing); on failure returns the errno.
int writeFile(const QString &path, const QByteArray &data, bool append)
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0644);
    if (fd < 0)
        return errno;
    qsizetype done = 0;
    int error = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    return error;
}

LogOrigin originFromText(const QString &text, int *programa)
{
    if (text.startsWith(QLatin1String("programa "))) {
        *programa = text.mid(9).toInt();
        return LogOrigin::Programa;
    }
    for (const LogOrigin o :
         {LogOrigin::Bucle, LogOrigin::Prueba, LogOrigin::LineaDeOrdenes, LogOrigin::Identificacion}) {
        if (text == originText(o, 0))
            return o;
    }
    return LogOrigin::Manual;
}
} // namespace

QString TransmissionLog::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // XDG base directory rules: a relative path is invalid and ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Pregonal");
}

TransmissionLog::TransmissionLog(const QString &folder, QObject *parent) : QObject(parent), m_folder(folder)
{
}

bool TransmissionLog::journalBuiltIn()
{
#ifdef PREGONAL_HAVE_JOURNAL
    return true;
#else
    return false;
#endif
}

QString TransmissionLog::filePath() const
{
    return m_folder + QLatin1Char('/') + FileName;
}

// One note per process: the window and a command-line run (or the user service) may share the
// log, and one's transmission on the air is no crash of the other's.
QString TransmissionLog::markerPath() const
{
    return m_folder + QLatin1Char('/') + kMarker + QLatin1Char('.') + QString::number(::getpid());
}

QString TransmissionLog::rotatedPath(int n) const
{
    return n == 0 ? filePath() : filePath() + QLatin1Char('.') + QString::number(n);
}

void TransmissionLog::transmissionStarted(const TransmissionRecord &started)
{
    transmissionStarted(QList<TransmissionRecord>{started});
}

void TransmissionLog::transmissionStarted(const QList<TransmissionRecord> &onAir)
{
    QDir().mkpath(m_folder);
    QString text;
    for (const TransmissionRecord &r : onAir)
        text += csvLine(r) + QLatin1Char('\n');
    const int error = writeFile(markerPath(), text.toUtf8(), false);
    if (error != 0)
        failed(markerPath(), error);
}

void TransmissionLog::stillOnAir()
{
    // Never creates the note: a late status update after key-down must not fake a crash.
    QFile marker(markerPath());
    if (marker.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        marker.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
}

bool TransmissionLog::transmissionEnded(const TransmissionRecord &record)
{
    const bool written = append(record);
    QFile::remove(markerPath());
    return written;
}

bool TransmissionLog::append(const TransmissionRecord &record)
{
    if (m_journal)
        sendToJournal(record);
    return writeLine(csvLine(record));
}

// The notes of processes that are gone (a note without a number is an older program's).
bool TransmissionLog::recoverInterrupted()
{
    bool any = false;
    const QStringList notes =
        QDir(m_folder).entryList({kMarker, kMarker + QStringLiteral(".*")}, QDir::Files);
    for (const QString &name : notes) {
        bool numbered = false;
        const qint64 pid = name.section(QLatin1Char('.'), 1).toLongLong(&numbered);
        if (numbered && (pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH))
            continue; // still running (or not ours to judge)
        recoverNote(m_folder + QLatin1Char('/') + name);
        any = true;
    }
    return any;
}

void TransmissionLog::recoverNote(const QString &path)
{
    QFile marker(path);
    const QDateTime lastAlive = QFileInfo(marker).lastModified();
    QList<QStringList> rows;
    if (marker.open(QIODevice::ReadOnly)) {
        rows = parseCsv(QString::fromUtf8(marker.readAll()));
        marker.close();
    }
    rows.removeIf([](const QStringList &f) { return f.join(QString()).trimmed().isEmpty(); });
    if (rows.isEmpty())
        rows << QStringList(); // unreadable: still a line, of unknown message
    for (const QStringList &f : std::as_const(rows)) {
        TransmissionRecord r;
        r.inicio = QDateTime::fromString(f.value(0), Qt::ISODateWithMs);
        r.origen = originFromText(f.value(2), &r.programa);
        r.archivo = textFromCsv(f.value(3));
        if (!r.inicio.isValid() || r.inicio > lastAlive)
            r.inicio = lastAlive;
        // The line's times in the zone they were written in.
        r.fin = lastAlive.toOffsetFromUtc(r.inicio.offsetFromUtc());
        r.resultado = LogResult::Interrumpida;
        r.detalle = kInterrupted;
        append(r);
    }
    QFile::remove(path);
}

bool TransmissionLog::writeLine(const QString &line)
{
    QDir().mkpath(m_folder);
    QByteArray data = (line + QLatin1Char('\n')).toUtf8();
    const QFileInfo file(filePath());
    if (file.exists() && file.size() > 0 && file.size() + data.size() > RotateBytes)
        rotate();
    if (!QFileInfo::exists(filePath()) || QFileInfo(filePath()).size() == 0)
        data.prepend((Header + QLatin1Char('\n')).toUtf8());
    const int error = writeFile(filePath(), data, true);
    if (error != 0) {
        failed(filePath(), error);
        return false;
    }
    m_error.clear();
    return true;
}

void TransmissionLog::rotate()
{
    QFile::remove(rotatedPath(KeptFiles));
    for (int n = KeptFiles; n > 0; --n) {
        if (QFile::exists(rotatedPath(n - 1)))
            QFile::rename(rotatedPath(n - 1), rotatedPath(n));
    }
}

void TransmissionLog::failed(const QString &what, int errnoValue)
{
    const bool first = m_error.isEmpty();
    m_error = QStringLiteral("No se puede escribir el registro de emisiones (%1): %2. Las emisiones siguen, "
                             "pero no quedan anotadas.")
                  .arg(what, fileErrorText(errnoValue));
    if (first)
        emit writeFailed(m_error);
}

void TransmissionLog::sendToJournal(const TransmissionRecord &record)
{
#ifdef PREGONAL_HAVE_JOURNAL
    const QList<QByteArray> fields = journalFields(record);
    QList<iovec> vectors;
    for (const QByteArray &f : fields)
        vectors << iovec{const_cast<char *>(f.constData()), size_t(f.size())};
    // Nothing to do if the journal is not there: the file is the log.
    sd_journal_sendv(vectors.constData(), int(vectors.size()));
#else
    Q_UNUSED(record);
#endif
}

QList<QStringList> readLatestLog(const QString &folder, int count)
{
    const TransmissionLog log(folder);
    QList<QStringList> latest;
    for (int n = 0; n <= TransmissionLog::KeptFiles && latest.size() < count; ++n) {
        QFile file(n == 0 ? log.filePath() : log.filePath() + QLatin1Char('.') + QString::number(n));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(file.readAll()));
        for (qsizetype i = rows.size() - 1; i >= 0 && latest.size() < count; --i) {
            if (rows.at(i).join(QLatin1Char(';')) == TransmissionLog::Header)
                continue;
            QStringList fields = rows.at(i);
            for (const int text : {3, 6}) {
                if (text < fields.size())
                    fields[text] = textFromCsv(fields.at(text));
            }
            latest << fields;
        }
    }
    return latest;
}
