#include "wavfile.h"

#include "deviceerror.h"
#include "replacementfile.h"
#include "systempath.h"

#include <QDir>

#include <sndfile.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int CopyFrames = 4096;
constexpr int MinRate = 1000; // Qt 6.4's sink divides by its period in bytes, which is 0 at a few Hz

// Why the header of a file libsndfile has opened cannot be right; empty when it can.
QString headerProblem(int fd, const SF_INFO &info)
{
    struct stat st = {};
    const qint64 fileSize = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : 0;
    if (info.channels < 1 || info.channels > 64)
        return QStringLiteral("número de canales no válido (%1)").arg(info.channels);
    if (info.samplerate < MinRate || info.samplerate > 768000)
        return QStringLiteral("frecuencia de muestreo no válida (%1 Hz)").arg(info.samplerate);
    if (info.frames < 0)
        return QStringLiteral("longitud no válida");
    if (const int bits = minBitsPerSample(info.format); bits > 0) {
        // The header must not promise more audio than the file can hold.
        const double needBytes = double(info.frames) * info.channels * bits / 8.0;
        if (needBytes > double(fileSize))
            return QStringLiteral("la cabecera indica más sonido del que contiene el archivo");
    }
    // libsndfile plays what there is of a cut file, but a header declaring far more than the file
    // holds is not a cut recording: it is broken.
    const qint64 declared = declaredWaveData(fd);
    if (declared > 2 * fileSize + (1 << 20))
        return QStringLiteral("la cabecera indica más sonido del que contiene el archivo");
    return {};
}
} // namespace

int minBitsPerSample(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 32;
    case SF_FORMAT_DOUBLE:
        return 64;
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
        return 4;
    case SF_FORMAT_GSM610:
        return 1;
    default:
        return 0;
    }
}

qint64 declaredWaveData(const QString &path)
{
    const int fd = SystemPath::openRegular(path);
    if (fd < 0)
        return -1;
    const qint64 declared = declaredWaveData(fd);
    ::close(fd);
    return declared;
}

qint64 declaredWaveData(int fd)
{
    // Read in place: the descriptor's own offset is libsndfile's.
    qint64 at = 0;
    const auto read = [fd, &at](int n) {
        QByteArray bytes(n, Qt::Uninitialized);
        const ssize_t got = ::pread(fd, bytes.data(), size_t(n), off_t(at));
        bytes.resize(got > 0 ? int(got) : 0);
        at += bytes.size();
        return bytes;
    };
    const QByteArray head = read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray chunk = read(8);
        if (chunk.size() < 8)
            return -1;
        const auto *b = reinterpret_cast<const uchar *>(chunk.constData());
        const quint32 size = quint32(b[4]) | quint32(b[5]) << 8 | quint32(b[6]) << 16 | quint32(b[7]) << 24;
        if (chunk.startsWith("data"))
            return size == 0xffffffffu ? -1 : qint64(size); // all ones: length left open while streaming
        at += qint64(size) + (size & 1);
    }
    return -1;
}

bool isFloatFormat(int format)
{
    const int sub = format & SF_FORMAT_SUBMASK;
    return sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE;
}

bool wantsFloatOutput(int format)
{
    const int sub = format & SF_FORMAT_SUBMASK;
    return isFloatFormat(format) || sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32;
}

void requireRegularFile(const QString &path)
{
    QString what;
    switch (SystemPath::kind(path)) {
    case SystemPath::Kind::Missing:
    case SystemPath::Kind::Regular:
        return;
    case SystemPath::Kind::Folder:
        what = QStringLiteral("una carpeta");
        break;
    case SystemPath::Kind::Pipe:
        what = QStringLiteral("una tubería con nombre");
        break;
    case SystemPath::Kind::Device:
        what = QStringLiteral("un dispositivo");
        break;
    case SystemPath::Kind::Socket:
        what = QStringLiteral("un socket");
        break;
    }
    throw DeviceError(
        QStringLiteral("«%1» es %2, no un archivo de sonido.").arg(SystemPath::readable(path), what));
}

SoundFile openWavFile(const QString &path, SF_INFO &info)
{
    info = SF_INFO{};
    SoundFile file = SoundFile::openRead(path, info);
    const QString shown = SystemPath::readable(path);
    if (!file)
        throw DeviceError(
            QStringLiteral("No se puede abrir el archivo de sonido «%1»: %2").arg(shown, file.lastError()));
    const QString problem = headerProblem(file.descriptor(), info);
    if (!problem.isEmpty())
        throw DeviceError(
            QStringLiteral("No se puede abrir el archivo de sonido «%1»: %2.").arg(shown, problem));
    return file;
}

void seekWavFile(SoundFile &file, qint64 frame)
{
    if (sf_seek(file.get(), frame, SEEK_SET) == frame)
        return;
    // Some encodings cannot seek: open again and skip to the place.
    SF_INFO info{};
    SoundFile again = file.reopen(info);
    if (!again)
        throw DeviceError(QStringLiteral("No se puede leer el archivo de sonido: %1").arg(again.lastError()));
    file = std::move(again);
    std::vector<float> skip(size_t(CopyFrames * info.channels));
    for (qint64 left = frame; left > 0;) {
        const sf_count_t got = sf_readf_float(file.get(), skip.data(), std::min<qint64>(left, CopyFrames));
        if (got <= 0)
            break;
        left -= got;
    }
}

void copyWavFile(const QString &source, const QString &target)
{
    SF_INFO info{};
    SoundFile in = SoundFile::openRead(source, info);
    if (!in)
        throw DeviceError(QStringLiteral("No se puede leer la grabación."));
    ReplacementFile out(target);
    SF_INFO outInfo = info;
    SoundFile w = SoundFile::openDescriptor(out.handle(), SFM_WRITE, outInfo);
    bool ok = bool(w);
    const bool asDouble = isFloatFormat(info.format);
    std::vector<double> d(asDouble ? size_t(CopyFrames * info.channels) : 0);
    std::vector<int> n(asDouble ? 0 : size_t(CopyFrames * info.channels));
    while (ok) {
        const sf_count_t got = asDouble ? sf_readf_double(in.get(), d.data(), CopyFrames)
                                        : sf_readf_int(in.get(), n.data(), CopyFrames);
        if (got <= 0)
            break;
        ok = (asDouble ? sf_writef_double(w.get(), d.data(), got) : sf_writef_int(w.get(), n.data(), got)) ==
             got;
    }
    in.close();
    if (w)
        ok = w.close() && ok;
    if (!ok)
        throw DeviceError(
            QStringLiteral("No se puede escribir «%1»: %2.")
                .arg(QDir::toNativeSeparators(target), QStringLiteral("error al escribir en el disco")));
    out.commit(target);
}
