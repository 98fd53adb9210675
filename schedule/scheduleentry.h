#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

class SettingsStore;

// One scheduled broadcast, group "programaN" of the settings: the message "archivo", sent at the
// times of day "horas" ("09:00, 13:30") or every "cada" minutes counted from midnight, on the days
// "dias" (L M X J V S D), between the dates "desde" and "hasta" (both included, either optional),
// while "activo" is 1.
struct ScheduleEntry
{
    static constexpr int kMaxCada = 1440;
    static constexpr quint8 kAllDays = 0x7f;

    int number = 0; // the N of "programaN"
    QString archivo;
    QList<QTime> horas;     // sorted, no repeats, whole minutes; empty when cada is used
    int cada = 0;           // minutes, 1 to kMaxCada; 0 when horas is used
    quint8 dias = kAllDays; // bit 0 Monday ... bit 6 Sunday
    QDate desde;            // null: no first day
    QDate hasta;            // null: no last day
    bool activo = true;

    QString group() const { return QStringLiteral("programa%1").arg(number); }
    bool runsOnWeekday(int dayOfWeek) const { return dias & (1u << (dayOfWeek - 1)); }
    bool operator==(const ScheduleEntry &other) const;
};

// What the settings hold: the entries that can run, sorted by number, and one Spanish reason for
// each group that cannot ("programa3: la hora «25:00» no es válida").
struct ScheduleReading
{
    QList<ScheduleEntry> entries;
    QStringList problems;
};

// Reads every "programaN" group of the program's settings. Writes nothing.
ScheduleReading readSchedule(const SettingsStore &store);
// Replaces every "programaN" group with the entries given. An entry keeps its number when it is 1
// or more and not taken by an earlier one; otherwise it gets the lowest free one. Returns whether
// the store holds them all.
bool writeSchedule(SettingsStore &store, const QList<ScheduleEntry> &entries);

// Why the entry's message cannot be sent from wherever the program runs (a relative path, no such
// file), in Spanish; empty when it can.
QString messageProblem(const QString &archivo);

// The pieces, as the settings file spells them. Each parser returns an empty reason on success.
QString parseHoras(const QString &text, QList<QTime> *horas);
QString parseDias(const QString &text, quint8 *dias);
QString horasText(const QList<QTime> &horas);
QString diasText(quint8 dias);
