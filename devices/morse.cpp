#include "morse.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;

const QHash<QChar, QString> &table()
{
    static const QHash<QChar, QString> codes = [] {
        const char *const letters[] = {".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
                                       ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
                                       "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
        QHash<QChar, QString> h;
        for (int i = 0; i < 26; ++i)
            h.insert(QChar('A' + i), QLatin1String(letters[i]));
        // Digits: 1 to 5 are that many dots, then dashes; 6 to 9 and 0 that many less five dashes, then dots.
        for (int d = 1; d <= 10; ++d) {
            const int lead = d <= 5 ? d : d - 5;
            const QString first(lead, d <= 5 ? QChar('.') : QChar('-'));
            const QString second(5 - lead, d <= 5 ? QChar('-') : QChar('.'));
            h.insert(QChar('0' + d % 10), first + second);
        }
        h.insert(QChar('/'), QStringLiteral("-..-."));
        return h;
    }();
    return codes;
}
} // namespace

namespace Morse {

QString code(QChar c)
{
    return table().value(c.toUpper());
}

QList<Element> elements(const QString &text)
{
    QList<Element> out;
    int pendingGap = 0;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!out.isEmpty())
            pendingGap = 7;
        for (const QChar c : word) {
            const QString dits = code(c);
            if (dits.isEmpty())
                continue;
            if (!out.isEmpty())
                pendingGap = std::max(pendingGap, 3);
            for (const QChar e : dits) {
                if (pendingGap > 0)
                    out.append({false, pendingGap});
                out.append({true, e == QLatin1Char('-') ? 3 : 1});
                pendingGap = 1;
            }
            pendingGap = 0;
        }
    }
    return out;
}

double dotSamples(int wpm, int rate)
{
    return rate * 1.2 / wpm;
}

QList<float> envelope(const QString &text, int wpm, int rate)
{
    const double dot = dotSamples(wpm, rate);
    const double ramp = rate * RampMs / 1000.0;
    const QList<Element> keying = elements(text);
    int units = 0;
    for (const Element &e : keying)
        units += e.units;
    const double lead = ramp / 2;
    QList<float> env(qsizetype(std::ceil(units * dot + ramp)) + 1, 0.0f);
    // Each edge lands at its ideal place however the dot length rounds: no drift along the text.
    int at = 0;
    for (const Element &e : keying) {
        const double start = lead + at * dot;
        at += e.units;
        if (!e.on)
            continue;
        const double end = lead + at * dot;
        const qsizetype first = qsizetype(std::floor(start - ramp / 2));
        const qsizetype last = std::min(env.size(), qsizetype(std::ceil(end + ramp / 2)));
        for (qsizetype n = std::max<qsizetype>(0, first); n < last; ++n) {
            const double centre = double(n);
            const double rise = std::clamp((centre - (start - ramp / 2)) / ramp, 0.0, 1.0);
            const double fall = std::clamp(((end + ramp / 2) - centre) / ramp, 0.0, 1.0);
            env[n] = float(0.5 - 0.5 * std::cos(kPi * std::min(rise, fall)));
        }
    }
    return env;
}

QList<float> samples(const QString &text, int wpm, int toneHz, int levelDb, int rate)
{
    QList<float> out = envelope(text, wpm, rate);
    const double amplitude = std::pow(10.0, levelDb / 20.0);
    for (qsizetype n = 0; n < out.size(); ++n)
        out[n] = float(out[n] * amplitude * std::sin(2 * kPi * toneHz * double(n) / rate));
    return out;
}

} // namespace Morse
