#pragma once

#include <QByteArray>
#include <QString>

// File names as the system gives them. A name need not be valid UTF-8: each byte that does not
// decode is carried in the QString as the lone surrogate U+DC80 + byte, so that the name goes
// back to the system byte for byte. Qt's own conversions would put U+FFFD in its place and lose
// the file.
namespace SystemPath {
// The bytes of a name as the system gives it, as a QString that encode() turns back into them.
QString decode(const QByteArray &bytes);
// The bytes to hand the system for a name from decode(), or from anywhere else as UTF-8.
QByteArray encode(const QString &path);
// The name for people to read: each byte that did not decode shown as \xNN.
QString readable(const QString &path);

// Whether anything is at path, a link that leads nowhere included. Never opens it.
bool exists(const QString &path);

// Whether a and b name the same file: the same name, or the same file on disk.
bool sameFile(const QString &a, const QString &b);

enum class Kind { Missing, Regular, Folder, Pipe, Device, Socket };
// What is at path, links followed; Missing when nothing (or nothing this user may see) is.
// Never opens it.
Kind kind(const QString &path);
// Opens the regular file at path for reading without ever waiting on what is there: a pipe, a
// device or a socket is refused unopened. Returns the descriptor (close-on-exec), or -1 with
// errno set (ENOENT, EISDIR, or ENXIO for anything that is not a regular file).
int openRegular(const QString &path);
} // namespace SystemPath
