#include "busylines.h"

#include "serialline.h"

#include <utility>

namespace {
template <std::size_t N>
BusyInput parseNamed(const QString &text, const std::pair<const char *, int> (&names)[N])
{
    QString name = text.trimmed();
    BusyInput input;
    if (name.startsWith(QLatin1Char('!'))) {
        input.activeLow = true;
        name = name.mid(1).trimmed();
    }
    for (const auto &[known, mask] : names)
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            input.mask = mask;
    return input;
}

constexpr std::pair<const char *, int> kSerialLines[] = {
    {"CTS", SerialLine::Cts}, {"DSR", SerialLine::Dsr}, {"DCD", SerialLine::Dcd}, {"RI", SerialLine::Ri}};
constexpr std::pair<const char *, int> kCm108Inputs[] = {
    {"VOL_UP", 0x01}, {"VOL_DN", 0x02}, {"MUTE_PLAY", 0x04}, {"MUTE_REC", 0x08}};
} // namespace

BusyInput parseSerialBusyLine(const QString &text)
{
    return parseNamed(text, kSerialLines);
}

BusyInput parseCm108BusyInput(const QString &text)
{
    return parseNamed(text, kCm108Inputs);
}

GpioLine parseGpioBusyLine(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(QLatin1Char('!')))
        return GpioLine::parse(trimmed);
    GpioLine line = GpioLine::parse(trimmed.mid(1));
    // One "!" is active-low; a second one would undo it unseen.
    if (line.activeLow)
        return GpioLine();
    line.activeLow = true;
    return line;
}

QString serialBusyLineProblem(const QString &text)
{
    if (parseSerialBusyLine(text).valid())
        return QString();
    return QStringLiteral("La línea «%1» del puerto serie no existe: ha de ser CTS, DSR, DCD o RI (con «!» "
                          "delante si indica ocupado a nivel bajo).")
        .arg(text);
}

QString cm108BusyInputProblem(const QString &text)
{
    if (parseCm108BusyInput(text).valid())
        return QString();
    return QStringLiteral("La entrada «%1» de la interfaz CM108 no existe: ha de ser VOL_UP, VOL_DN, "
                          "MUTE_PLAY o MUTE_REC (con «!» delante si indica ocupado a nivel bajo).")
        .arg(text);
}

QString gpioBusyLineProblem(const QString &text)
{
    if (parseGpioBusyLine(text).valid)
        return QString();
    return QStringLiteral("La línea GPIO «%1» no se entiende: escríbala como gpiochip0:17 (con «!» delante "
                          "si indica ocupado a nivel bajo).")
        .arg(text);
}
