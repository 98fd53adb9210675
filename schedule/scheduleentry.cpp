#include "scheduleentry.h"

#include "programvalues.h"
#include "rawini.h"
#include "settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {
const QString kDayLetters = QStringLiteral("LMXJVSD");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// "programa" and a number from 1, as the reader takes a group; any other group beginning with
// "programa" is the operator's mistake and is reported.
const QRegularExpression kGroupName(QStringLiteral("^programa([1-9][0-9]{0,5})$"),
                                    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression kAnyProgramGroup(QStringLiteral("^programa"),
                                          QRegularExpression::CaseInsensitiveOption);
const QRegularExpression kHora(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));

QStringList items(const QString &text)
{
    QStringList result;
    for (const QString &item : text.split(QLatin1Char(','))) {
        if (!item.trimmed().isEmpty())
            result << item.trimmed();
    }
    return result;
}

QString parseDate(const QString &group, const QString &key, const QString &text, QDate *date)
{
    if (text.isEmpty())
        return QString();
    *date = QDate::fromString(text, kDateFormat);
    if (date->isValid())
        return QString();
    return QStringLiteral("%1: la fecha «%2» de «%3» no es válida (escríbala como AAAA-MM-DD)")
        .arg(group, text, key);
}

QString parseActivo(const QString &group, const QString &text, bool *activo)
{
    const QString t = text.toLower();
    if (t.isEmpty() || t == QLatin1String("1") || t == QLatin1String("true"))
        *activo = true;
    else if (t == QLatin1String("0") || t == QLatin1String("false"))
        *activo = false;
    else
        return QStringLiteral("%1: «activo» debe ser 1 o 0, no «%2»").arg(group, text);
    return QString();
}

// A name written by hand without quotes, as written: the settings read an unquoted ',' as a list
// and cut the text at an unquoted ';'. A ';' after a blank still starts a comment.
QString archivoAsWritten(const SettingsStore &store, const QString &group, const QString &read)
{
    QString raw = rawIniValue(store.location(kApplication), group, QStringLiteral("archivo")).trimmed();
    if (raw.startsWith(QLatin1Char('"')))
        return read;
    static const QRegularExpression comment(QStringLiteral("\\s;"));
    const qsizetype cut = raw.indexOf(comment);
    if (cut >= 0)
        raw = raw.left(cut).trimmed();
    return raw.contains(QLatin1Char(',')) || raw.contains(QLatin1Char(';')) ? raw : read;
}

// The entry of one group, or the reason it cannot run.
QString readEntry(const SettingsStore &store, const QString &group, ScheduleEntry *entry)
{
    const auto value = [&](const char *key) {
        return store.read(kApplication, group, QLatin1String(key), QString()).trimmed();
    };
    entry->archivo = archivoAsWritten(store, group, value("archivo"));
    if (entry->archivo.isEmpty())
        return QStringLiteral("%1: falta el mensaje que enviar («archivo»)").arg(group);

    const QString horas = value("horas");
    const QString cada = value("cada");
    if (!items(horas).isEmpty() && !cada.isEmpty())
        return QStringLiteral("%1: lleva «horas» y «cada»; debe llevar solo uno de los dos").arg(group);
    if (!cada.isEmpty()) {
        bool ok = false;
        entry->cada = cada.toInt(&ok);
        if (!ok || cada.contains(QLatin1Char('+')) || entry->cada < 1 ||
            entry->cada > ScheduleEntry::kMaxCada)
            return QStringLiteral("%1: «cada» debe ser un número de minutos de 1 a %2, no «%3»")
                .arg(group)
                .arg(ScheduleEntry::kMaxCada)
                .arg(cada);
    } else if (!items(horas).isEmpty()) {
        const QString reason = parseHoras(horas, &entry->horas);
        if (!reason.isEmpty())
            return group + QStringLiteral(": ") + reason;
    } else {
        return QStringLiteral("%1: falta «horas» o «cada»").arg(group);
    }

    const QString dias = parseDias(value("dias"), &entry->dias);
    if (!dias.isEmpty())
        return group + QStringLiteral(": ") + dias;
    for (const QString &reason : {parseDate(group, QStringLiteral("desde"), value("desde"), &entry->desde),
                                  parseDate(group, QStringLiteral("hasta"), value("hasta"), &entry->hasta),
                                  parseActivo(group, value("activo"), &entry->activo)}) {
        if (!reason.isEmpty())
            return reason;
    }
    if (entry->desde.isValid() && entry->hasta.isValid() && entry->desde > entry->hasta)
        return QStringLiteral("%1: «desde» (%2) es posterior a «hasta» (%3)")
            .arg(group, entry->desde.toString(kDateFormat), entry->hasta.toString(kDateFormat));
    return QString();
}
} // namespace

QString messageProblem(const QString &archivo)
{
    if (QDir::isRelativePath(archivo))
        return QStringLiteral("el mensaje «%1» no lleva la ruta completa (escríbala desde la raíz, como "
                              "/home/usuario/aviso.wav)")
            .arg(archivo);
    const QFileInfo file(archivo);
    if (!file.exists())
        return QStringLiteral("no se encuentra el mensaje «%1»").arg(archivo);
    if (!file.isFile())
        return QStringLiteral("«%1» no es un archivo de sonido").arg(archivo);
    return QString();
}

bool ScheduleEntry::operator==(const ScheduleEntry &o) const
{
    return number == o.number && archivo == o.archivo && horas == o.horas && cada == o.cada &&
           dias == o.dias && desde == o.desde && hasta == o.hasta && activo == o.activo;
}

QString parseHoras(const QString &text, QList<QTime> *horas)
{
    horas->clear();
    for (const QString &item : items(text)) {
        const QRegularExpressionMatch m = kHora.match(item);
        const int h = m.hasMatch() ? m.captured(1).toInt() : -1;
        const int min = m.hasMatch() ? m.captured(2).toInt() : -1;
        if (h < 0 || h > 23 || min < 0 || min > 59)
            return QStringLiteral("la hora «%1» no es válida (escríbala como HH:MM)").arg(item);
        horas->append(QTime(h, min));
    }
    std::sort(horas->begin(), horas->end());
    horas->erase(std::unique(horas->begin(), horas->end()), horas->end());
    return QString();
}

QString parseDias(const QString &text, quint8 *dias)
{
    const QStringList letters = items(text);
    if (letters.isEmpty()) {
        *dias = ScheduleEntry::kAllDays;
        return QString();
    }
    *dias = 0;
    for (const QString &item : letters) {
        // "LMX" and "L M X" are read as "L, M, X".
        for (const QChar c : item) {
            if (c.isSpace())
                continue;
            const int day = kDayLetters.indexOf(c.toUpper());
            if (day < 0)
                return QStringLiteral("el día «%1» no es válido (use L, M, X, J, V, S o D)").arg(item);
            *dias |= quint8(1u << day);
        }
    }
    return QString();
}

QString horasText(const QList<QTime> &horas)
{
    QStringList texts;
    for (const QTime &t : horas)
        texts << t.toString(QStringLiteral("HH:mm"));
    return texts.join(QLatin1Char(','));
}

QString diasText(quint8 dias)
{
    QStringList letters;
    for (int day = 0; day < 7; ++day) {
        if (dias & (1u << day))
            letters << kDayLetters.at(day);
    }
    return letters.join(QLatin1Char(','));
}

ScheduleReading readSchedule(const SettingsStore &store)
{
    ScheduleReading reading;
    QSet<int> numbers;
    for (const QString &group : store.sections(kApplication)) {
        if (!kAnyProgramGroup.match(group).hasMatch())
            continue;
        const QRegularExpressionMatch name = kGroupName.match(group);
        if (!name.hasMatch()) {
            reading.problems << QStringLiteral("%1: el nombre del grupo debe ser «programa» y un número "
                                               "desde 1, como «programa1»")
                                    .arg(group);
            continue;
        }
        ScheduleEntry entry;
        entry.number = name.captured(1).toInt();
        if (numbers.contains(entry.number)) {
            reading.problems
                << QStringLiteral("%1: el número %2 ya lo lleva otro grupo").arg(group).arg(entry.number);
            continue;
        }
        numbers.insert(entry.number);
        const QString reason = readEntry(store, group, &entry);
        if (!reason.isEmpty()) {
            reading.problems << reason;
            continue;
        }
        reading.entries << entry;
    }
    std::sort(reading.entries.begin(), reading.entries.end(),
              [](const ScheduleEntry &a, const ScheduleEntry &b) { return a.number < b.number; });
    return reading;
}

bool writeSchedule(SettingsStore &store, const QList<ScheduleEntry> &entries)
{
    bool ok = true;
    for (const QString &group : store.sections(kApplication)) {
        if (kAnyProgramGroup.match(group).hasMatch())
            ok = store.removeSection(kApplication, group) && ok;
    }
    QSet<int> taken;
    for (const ScheduleEntry &e : entries) {
        if (e.number >= 1)
            taken.insert(e.number);
    }
    QSet<int> written;
    int nextFree = 1;
    for (ScheduleEntry e : entries) {
        if (e.number < 1 || written.contains(e.number)) {
            while (taken.contains(nextFree))
                ++nextFree;
            e.number = nextFree;
            taken.insert(nextFree);
        }
        written.insert(e.number);
        const QString group = e.group();
        const auto put = [&](const char *key, const QString &text) {
            ok = store.write(kApplication, group, QLatin1String(key), text) && ok;
        };
        put("archivo", e.archivo);
        if (e.cada > 0)
            put("cada", QString::number(e.cada));
        else
            put("horas", horasText(e.horas));
        put("dias", diasText(e.dias));
        if (e.desde.isValid())
            put("desde", e.desde.toString(kDateFormat));
        if (e.hasta.isValid())
            put("hasta", e.hasta.toString(kDateFormat));
        put("activo", e.activo ? QStringLiteral("1") : QStringLiteral("0"));
    }
    return ok;
}
