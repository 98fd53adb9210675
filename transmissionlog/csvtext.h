#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Who started a transmission.
enum class LogOrigin { Manual, Bucle, Programa, Prueba, LineaDeOrdenes, Identificacion };
// How it ended; Omitida and Perdida are scheduled slots that never went out, Interrumpida one
// the program did not live to finish, CanalOcupado one that gave up waiting for a clear channel.
enum class LogResult { Completa, Detenida, Fallo, CortadaPorSeguridad, Omitida, Perdida, Interrumpida, CanalOcupado };

struct TransmissionRecord
{
    QDateTime inicio;
    QDateTime fin;
    LogOrigin origen = LogOrigin::Manual;
    int programa = 0; // the N of "programaN", with LogOrigin::Programa
    QString archivo;
    double segundos = -1; // on the air; below 0: from inicio to fin
    LogResult resultado = LogResult::Completa;
    QString detalle;
};

// The words of the log: "programa 3", "cortada por seguridad"...
QString originText(LogOrigin origin, int programa);
QString resultText(LogResult result);
// ISO 8601 with milliseconds and the offset from UTC: "2026-03-29T10:00:00.000+02:00".
QString logTime(const QDateTime &time);
// One decimal, comma: "12,3".
QString logSeconds(double seconds);
// A field as CSV wants it: in double quotes (doubled inside) when it holds ';', '"' or a line end.
QString csvField(const QString &text);
// The record's line, without its line end.
QString csvLine(const TransmissionRecord &record);
// The fields of the record's journal entry, "NAME=value" each.
QList<QByteArray> journalFields(const TransmissionRecord &record);
// Splits CSV text (';' between fields) into its rows.
QList<QStringList> parseCsv(const QString &text);
// A free-text field (archivo, detalle) that a spreadsheet would take for a formula ('=', '+', '-',
// '@', a tab or a carriage return first) gets a leading "'", and is quoted; so does one that
// begins with "'" itself, so that reading back (textFromCsv) gives every text as it was.
QString csvTextField(const QString &text);
QString textFromCsv(const QString &field);
