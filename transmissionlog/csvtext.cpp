// The words and the CSV of the log's lines.
#include "csvtext.h"

#include <QtGlobal>

#include <algorithm>

QString originText(LogOrigin origin, int programa)
{
    switch (origin) {
    case LogOrigin::Manual:
        return QStringLiteral("manual");
    case LogOrigin::Bucle:
        return QStringLiteral("bucle");
    case LogOrigin::Programa:
        return QStringLiteral("programa %1").arg(programa);
    case LogOrigin::Prueba:
        return QStringLiteral("prueba");
    case LogOrigin::LineaDeOrdenes:
        return QStringLiteral("línea de órdenes");
    case LogOrigin::Identificacion:
        return QStringLiteral("identificación");
    }
    return QString();
}

QString resultText(LogResult result)
{
    switch (result) {
    case LogResult::Completa:
        return QStringLiteral("completa");
    case LogResult::Detenida:
        return QStringLiteral("detenida");
    case LogResult::Fallo:
        return QStringLiteral("fallo");
    case LogResult::CortadaPorSeguridad:
        return QStringLiteral("cortada por seguridad");
    case LogResult::Omitida:
        return QStringLiteral("omitida");
    case LogResult::Perdida:
        return QStringLiteral("perdida");
    case LogResult::Interrumpida:
        return QStringLiteral("interrumpida");
    case LogResult::CanalOcupado:
        return QStringLiteral("canal ocupado");
    }
    return QString();
}

QString logTime(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + (offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString logSeconds(double seconds)
{
    return QString::number(qMax(0.0, seconds), 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString csvField(const QString &text)
{
    static const QString special = QStringLiteral(";\"\r\n");
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return special.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {
// What a spreadsheet takes for the start of a formula, and the guard's own mark.
bool needsGuard(const QString &text)
{
    static const QString starts = QStringLiteral("=+-@\t\r'");
    return !text.isEmpty() && starts.contains(text.front());
}
} // namespace

QString csvTextField(const QString &text)
{
    if (!needsGuard(text))
        return csvField(text);
    QString quoted = QLatin1Char('\'') + text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString textFromCsv(const QString &field)
{
    return field.startsWith(QLatin1Char('\'')) ? field.mid(1) : field;
}

namespace {
double secondsOf(const TransmissionRecord &r)
{
    if (r.segundos >= 0 || !r.inicio.isValid() || !r.fin.isValid())
        return qMax(0.0, r.segundos);
    return r.inicio.msecsTo(r.fin) / 1000.0;
}
} // namespace

QString csvLine(const TransmissionRecord &r)
{
    const QStringList fields{csvField(logTime(r.inicio)),
                             csvField(logTime(r.fin)),
                             csvField(originText(r.origen, r.programa)),
                             csvTextField(r.archivo),
                             csvField(logSeconds(secondsOf(r))),
                             csvField(resultText(r.resultado)),
                             csvTextField(r.detalle)};
    return fields.join(QLatin1Char(';'));
}

QList<QByteArray> journalFields(const TransmissionRecord &r)
{
    const QString origin = originText(r.origen, r.programa);
    QString message = QStringLiteral("Transmisión %1 (%2): %3, %4 s")
                          .arg(resultText(r.resultado), origin, r.archivo, logSeconds(secondsOf(r)));
    if (!r.detalle.isEmpty())
        message += QStringLiteral(". ") + r.detalle;
    int priority = 6; // info
    if (r.resultado == LogResult::Omitida || r.resultado == LogResult::Perdida ||
        r.resultado == LogResult::Interrumpida || r.resultado == LogResult::CanalOcupado)
        priority = 4; // warning
    else if (r.resultado == LogResult::Fallo || r.resultado == LogResult::CortadaPorSeguridad)
        priority = 3; // err
    QList<QByteArray> fields;
    const auto add = [&fields](const char *name, const QString &value) {
        fields << QByteArray(name) + '=' + value.toUtf8();
    };
    add("MESSAGE", message);
    add("PRIORITY", QString::number(priority));
    add("SYSLOG_IDENTIFIER", QStringLiteral("pregonal"));
    add("PREGONAL_INICIO", logTime(r.inicio));
    add("PREGONAL_FIN", logTime(r.fin));
    add("PREGONAL_ORIGEN", origin);
    if (r.origen == LogOrigin::Programa)
        add("PREGONAL_PROGRAMA", QString::number(r.programa));
    add("PREGONAL_ARCHIVO", r.archivo);
    add("PREGONAL_SEGUNDOS", logSeconds(secondsOf(r)));
    add("PREGONAL_RESULTADO", resultText(r.resultado));
    if (!r.detalle.isEmpty())
        add("PREGONAL_DETALLE", r.detalle);
    return fields;
}

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
            continue;
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
        any = true;
    }
    if (any) {
        row << field;
        rows << row;
    }
    return rows;
}
