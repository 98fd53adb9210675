#pragma once

#include "csvtext.h"
#include "transmissionengine.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <functional>

class Station;

// The station served on the session bus, under the well-known name of BusNames, by the process
// that owns it: a message to send (once, N times or in a loop), Stop, the state, a reload of the
// stored settings; signals when the state changes and when a transmission handed over ends.
class StationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pregonal.Estacion")
public:
    // what: who owns the station, "ventana" or "programa".
    StationService(Station &station, const QString &what, QObject *parent = nullptr);

    // Takes the name and serves the station on bus; false when the name is another's or there is
    // no bus (error() says why).
    bool serve(QDBusConnection bus);
    QString error() const { return m_error; }
    // What mostrar() does: raise the window; false when there is none.
    void setShow(std::function<bool()> show) { m_show = std::move(show); }

    // The words of the state on the bus: "inactiva", "enviando", "en pausa".
    static QString stateText(TransmissionEngine::State state);

public slots:
    // Sends archivo (an absolute path): veces 1 once, 0 in a loop until stopped, N that many
    // times; pausa the seconds between plays (0: the station's). Returns its id, which
    // emisionTerminada() gives back. A name that is not absolute is refused with an error.
    uint enviar(const QString &archivo, int veces, int pausa);
    // The same, with the name as the system's bytes: a name that is not UTF-8 cannot travel as
    // a string on the bus.
    uint enviarBytes(const QByteArray &archivo, int veces, int pausa);
    // Stops what the station is sending now.
    void detener();
    // Withdraws message id handed over by enviar(): off the queue while it waits, stopped
    // while on the air. False when it has already ended.
    bool cancelar(uint id);
    // The state, the message on the air (empty when none; bytes that are not UTF-8 shown as
    // \xNN) and the next scheduled slot, ISO 8601 (empty when none).
    QString estado(QString &archivo, QString &proxima);
    // Reads the stored settings again.
    void recargar();
    // The owner's process id, what it is ("ventana", "programa") and its settings file (readable).
    uint propietario(QString &que, QString &ajustes);
    // Brings the owner's window to the front; false when the owner has no window.
    bool mostrar();

signals:
    void estadoCambiado(const QString &estado, const QString &archivo);
    // resultado and detalle as the log writes them.
    void emisionTerminada(uint id, const QString &resultado, const QString &detalle);

private:
    QString onAir() const;
    uint add(const QString &archivo, int veces, int pausa);
    uint refuse(const QString &why);

    Station &m_station;
    QString m_what;
    QString m_error;
    std::function<bool()> m_show;
};
