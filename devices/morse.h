#pragma once

#include <QList>
#include <QString>

// Morse code as sound: PARIS timing (a dot is 1200 / WPM ms, a dash three dots, one dot between
// the elements of a character, three between characters and seven between words), each element
// shaped with raised-cosine rises and falls so that keying makes no clicks.
namespace Morse {

constexpr int RampMs = 5;

// Dots and dashes of a letter, digit or '/' (".-" for A); empty for anything else.
QString code(QChar c);

// One stretch of the key, tone or silence, in dot units.
struct Element
{
    bool on = false;
    int units = 0;
};
// The keying of text: characters without a code are left out, blanks separate words. It starts
// with the first element and ends with the last one's fall.
QList<Element> elements(const QString &text);

// Dot length in samples (not rounded) at rate.
double dotSamples(int wpm, int rate);
// The keying envelope, 0 to 1, one value a sample: each element's edges rise and fall over
// RampMs centred on the element's ideal edge, so that half the level falls on it. Half a ramp
// of silence leads and trails.
QList<float> envelope(const QString &text, int wpm, int rate);
// The tone keyed by the envelope, peak at levelDb dBFS, as mono samples from -1 to 1.
QList<float> samples(const QString &text, int wpm, int toneHz, int levelDb, int rate);

} // namespace Morse
