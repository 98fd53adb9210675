#pragma once

#include "soundfile.h"

#include <QString>

// Reading, checking and copying the sound files the device opens and saves.

// Throws DeviceError, in Spanish, unless what is at path is a regular file (or nothing): a folder,
// a pipe, a device or a socket is never opened as a message.
void requireRegularFile(const QString &path);

// Opens the regular sound file at path for playing and fills info.
// Refuses, with a DeviceError in Spanish, a file libsndfile cannot read or whose header cannot
// be right: channels or rate out of range, or more sound declared than the file can hold.
SoundFile openWavFile(const QString &path, SF_INFO &info);

// Puts file (from SoundFile::openRead) at frame. Some encodings cannot seek: then the file is
// opened again and read up to the frame. Throws DeviceError when it cannot be opened again.
void seekWavFile(SoundFile &file, qint64 frame);

// Writes a copy of the sound file source at target, all or nothing. Throws DeviceError.
void copyWavFile(const QString &source, const QString &target);

// Fewest bits one sample can take on disk in this libsndfile format; 0 when it is not fixed.
int minBitsPerSample(int format);
// Data length a RIFF WAVE header declares, or -1 when it is not one or declares none.
qint64 declaredWaveData(const QString &path);
qint64 declaredWaveData(int fd);
// Floating-point samples on disk.
bool isFloatFormat(int format);
// More than 16 bits a sample: played as floating point.
bool wantsFloatOutput(int format);
