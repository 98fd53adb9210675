#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>
#include <cmath>

// Reads keyed tone back into text, as an ear would: a threshold at half the loudest peak, then the
// lengths of tone and silence measured against the shortest tone (a dot). Knows the letters,
// digits and '/' from its own table, written out apart from the program's.
namespace MorseDecoder {

inline const QHash<QString, QChar> &itu()
{
    static const QHash<QString, QChar> table = [] {
        const QList<QPair<QChar, const char *>> rows = {
            {'A', ".-"},    {'B', "-..."},  {'C', "-.-."},  {'D', "-.."},   {'E', "."},     {'F', "..-."},
            {'G', "--."},   {'H', "...."},  {'I', ".."},    {'J', ".---"},  {'K', "-.-"},   {'L', ".-.."},
            {'M', "--"},    {'N', "-."},    {'O', "---"},   {'P', ".--."},  {'Q', "--.-"},  {'R', ".-."},
            {'S', "..."},   {'T', "-"},     {'U', "..-"},   {'V', "...-"},  {'W', ".--"},   {'X', "-..-"},
            {'Y', "-.--"},  {'Z', "--.."},  {'1', ".----"}, {'2', "..---"}, {'3', "...--"}, {'4', "....-"},
            {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."}, {'0', "-----"},
            {'/', "-..-."}};
        QHash<QString, QChar> t;
        for (const auto &[c, code] : rows)
            t.insert(QLatin1String(code), c);
        return t;
    }();
    return table;
}

struct Run
{
    bool on;
    qsizetype start;
    qsizetype length;
};

// Tone and silence runs of samples: on where the largest magnitude within windowMs around a
// sample reaches half the loudest peak.
inline QList<Run> runs(const QList<float> &samples, int rate, double windowMs = 4.0)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::abs(s));
    const qsizetype half = qsizetype(rate * windowMs / 2000.0);
    QList<Run> out;
    for (qsizetype n = 0; n < samples.size(); ++n) {
        float local = 0;
        for (qsizetype k = std::max<qsizetype>(0, n - half); k <= std::min(samples.size() - 1, n + half); ++k)
            local = std::max(local, std::abs(samples[k]));
        const bool on = peak > 0 && local >= peak / 2;
        if (out.isEmpty() || out.last().on != on)
            out.append({on, n, 0});
        ++out.last().length;
    }
    return out;
}

inline QString decode(const QList<float> &samples, int rate)
{
    QList<Run> keyed = runs(samples, rate);
    while (!keyed.isEmpty() && !keyed.first().on)
        keyed.removeFirst();
    while (!keyed.isEmpty() && !keyed.last().on)
        keyed.removeLast();
    qsizetype dot = 0;
    for (const Run &r : keyed)
        if (r.on && (dot == 0 || r.length < dot))
            dot = r.length;
    QString text, letter;
    const auto endLetter = [&] {
        text += itu().value(letter, QLatin1Char('?'));
        letter.clear();
    };
    for (const Run &r : keyed) {
        const double units = double(r.length) / dot;
        if (r.on) {
            letter += units > 2 ? QLatin1Char('-') : QLatin1Char('.');
        } else if (units > 5) {
            endLetter();
            text += QLatin1Char(' ');
        } else if (units > 2) {
            endLetter();
        }
    }
    if (!letter.isEmpty())
        endLetter();
    return text;
}

} // namespace MorseDecoder
