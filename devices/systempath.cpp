#include "systempath.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char16_t EscapeBase = 0xDC80;

bool isContinuation(uchar c)
{
    return (c & 0xC0) == 0x80;
}

// Length of the strict UTF-8 sequence at data[i] (no overlong forms, no surrogates, nothing
// past U+10FFFF), 0 when the byte there does not start one.
int sequenceAt(const uchar *data, int size, int i, char32_t &code)
{
    const uchar c = data[i];
    int length = 0;
    if (c < 0x80) {
        code = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if (!isContinuation(data[i + k]))
            return 0;
        code = (code << 6) | (data[i + k] & 0x3F);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}
} // namespace

QString SystemPath::decode(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const int size = int(bytes.size());
    QString out;
    out.reserve(size);
    for (int i = 0; i < size;) {
        char32_t code = 0;
        const int length = sequenceAt(data, size, i, code);
        if (length == 0) {
            out += QChar(char16_t(EscapeBase + data[i]));
            ++i;
            continue;
        }
        const char32_t one[1] = {code};
        out += QString::fromUcs4(one, 1);
        i += length;
    }
    return out;
}

QByteArray SystemPath::encode(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            out += QStringView(path).mid(runStart, end - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path.at(i).unicode();
        if (u < EscapeBase || u > EscapeBase + 0xFF)
            continue;
        // A low surrogate after a high one is half of a real character, not an escaped byte.
        if (i > 0 && path.at(i - 1).isHighSurrogate())
            continue;
        flushRun(i);
        out += char(u - EscapeBase);
        runStart = i + 1;
    }
    flushRun(path.size());
    return out;
}

QString SystemPath::readable(const QString &path)
{
    QString out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path.at(i).unicode();
        if (u >= EscapeBase && u <= EscapeBase + 0xFF && !(i > 0 && path.at(i - 1).isHighSurrogate()))
            out += QStringLiteral("\\x%1").arg(uint(u - EscapeBase), 2, 16, QLatin1Char('0'));
        else
            out += path.at(i);
    }
    return out;
}

namespace {
SystemPath::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return SystemPath::Kind::Regular;
    if (S_ISDIR(mode))
        return SystemPath::Kind::Folder;
    if (S_ISFIFO(mode))
        return SystemPath::Kind::Pipe;
    if (S_ISSOCK(mode))
        return SystemPath::Kind::Socket;
    return SystemPath::Kind::Device;
}
} // namespace

bool SystemPath::exists(const QString &path)
{
    struct stat st = {};
    return ::lstat(encode(path).constData(), &st) == 0;
}

bool SystemPath::sameFile(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    struct stat sa = {}, sb = {};
    return ::stat(encode(a).constData(), &sa) == 0 && ::stat(encode(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

SystemPath::Kind SystemPath::kind(const QString &path)
{
    struct stat st = {};
    if (::stat(encode(path).constData(), &st) != 0)
        return Kind::Missing;
    return kindOf(st.st_mode);
}

int SystemPath::openRegular(const QString &path)
{
    const QByteArray name = encode(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        return -1;
    }
    // Non-blocking in case something else took its place since: a pipe opened so does not wait
    // for a writer, and is refused below.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
