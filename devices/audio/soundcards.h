#pragma once

#include "soundcardchoice.h"

#include <QAudioDevice>
#include <QAudioFormat>

// The chosen card among the outputs (or inputs) the sound server has at this moment: the list
// is read afresh each time, since Qt does not tell of cards that come and go under PulseAudio.
// The default choice gives the desktop's default (null when there is none). Throws DeviceError
// naming the card when a chosen one is not there: a message never goes silently elsewhere.
QAudioDevice findOutputCard(const SoundCardChoice &wanted);
QAudioDevice findInputCard(const SoundCardChoice &wanted);
// Whether the server lists the input with this id at this moment.
bool inputListed(const QByteArray &id);

// 16-bit mono at the input's own rate when that is 44.1 or 48 kHz, else at the other of the two;
// a format with no sample rate when the input takes neither.
QAudioFormat monoInputFormat(const QAudioDevice &input);
