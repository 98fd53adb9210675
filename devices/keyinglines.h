#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Which modem lines key the transmitter and whether the interface inverts them. Written as
// "DTR+RTS" (the default), "DTR" or "RTS"; a "!" before a name means that line keys when low.
// Case and blanks around the names do not matter: " dtr + !rts " is "DTR+!RTS".
struct KeyingLines
{
    bool useDtr = true;
    bool useRts = true;
    bool invertDtr = false;
    bool invertRts = false;

    // The lines the text names, or nothing when it is not one of the accepted forms.
    static std::optional<KeyingLines> parse(const QString &text)
    {
        KeyingLines lines{false, false, false, false};
        const QStringList parts = text.split(QLatin1Char('+'));
        if (parts.size() > 2)
            return std::nullopt;
        for (const QString &rawPart : parts) {
            QString part = rawPart.trimmed();
            const bool inverted = part.startsWith(QLatin1Char('!'));
            if (inverted)
                part = part.mid(1).trimmed();
            if (part.compare(QLatin1String("DTR"), Qt::CaseInsensitive) == 0 && !lines.useDtr) {
                lines.useDtr = true;
                lines.invertDtr = inverted;
            } else if (part.compare(QLatin1String("RTS"), Qt::CaseInsensitive) == 0 && !lines.useRts) {
                lines.useRts = true;
                lines.invertRts = inverted;
            } else {
                return std::nullopt;
            }
        }
        return lines;
    }

    // The canonical text, as parse reads it back.
    QString toString() const
    {
        QStringList names;
        if (useDtr)
            names << (invertDtr ? QStringLiteral("!DTR") : QStringLiteral("DTR"));
        if (useRts)
            names << (invertRts ? QStringLiteral("!RTS") : QStringLiteral("RTS"));
        return names.join(QLatin1Char('+'));
    }

    bool inverted() const { return (useDtr && invertDtr) || (useRts && invertRts); }

    friend bool operator==(const KeyingLines &a, const KeyingLines &b)
    {
        return a.useDtr == b.useDtr && a.useRts == b.useRts && a.invertDtr == b.invertDtr &&
               a.invertRts == b.invertRts;
    }
    friend bool operator!=(const KeyingLines &a, const KeyingLines &b) { return !(a == b); }
};
