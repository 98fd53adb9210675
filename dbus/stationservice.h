#pragma once

#include "csvtext.h"
#include "transmissionengine.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>

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
    ~StationService() override;

    // Takes the name and serves the station on bus; false when the name is another's or there is
    // no bus (error() says why).
    bool serve(QDBusConnection bus);
    QString error() const { return m_error; }
    // What mostrar() does: raise the window; false when there is none.
    void setShow(std::function<bool()> show) { m_show = std::move(show); }

    // The words of the state on the bus: "inactiva", "enviando", "en pausa", "esperando canal".
    static QString stateText(TransmissionEngine::State state);
    static TransmissionEngine::State stateFromText(const QString &text);
    // The least time between two progreso() signals of one play.
    static constexpr int ProgressEveryMs = 100;

public slots:
    // Sends archivo (an absolute path): veces 1 once, 0 in a loop until stopped, N that many
    // times; pausa the seconds between plays (0: the station's). Returns its id, which
    // emisionTerminada() gives back. A name that is not absolute is refused with an error.
    uint enviar(const QString &archivo, int veces, int pausa);
    // As enviar(), for a window: origen "manual" (Una vez) or "bucle" (En bucle) names it in the
    // log; anything else is logged as the command line's.
    uint enviarDesde(const QString &archivo, int veces, int pausa, const QString &origen);
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
    // While a window that is the station's face keys the transmitter itself (a test of the
    // station dialog), nothing of the station's starts. Let go by retener(false), or when the
    // caller leaves the bus, however it ends.
    void retener(bool si);
    // The pause of a loop, in seconds, and a new one for this run (1 to 255 s; not stored).
    int intervalo();
    void fijarIntervalo(int segundos);

signals:
    void estadoCambiado(const QString &estado, const QString &archivo);
    // resultado and detalle as the log writes them.
    void emisionTerminada(uint id, const QString &resultado, const QString &detalle);
    // The seconds a transmission has waited for a clear channel, every second while it waits.
    void esperandoCanal(int segundos);
    // Where the play is and the message's length, in ms; at most every ProgressEveryMs.
    void progreso(int posicion, int duracion);
    void intervaloCambiado(int segundos);
    // Message id handed over could not start or go on: what the operator reads, and why.
    void fallo(uint id, const QString &mensaje, const QString &causa);
    // A scheduled slot failed (inicio ISO 8601, the entry's number, its message and why).
    void programadaFallida(const QString &inicio, int programa, const QString &archivo, const QString &detalle);

private:
    QString onAir() const;
    uint add(const QString &archivo, int veces, int pausa, const QString &origen);
    uint refuse(const QString &why);

    Station &m_station;
    QString m_what;
    QString m_error;
    std::function<bool()> m_show;
    QElapsedTimer m_lastProgress;
    int m_lengthMs = 0;
    uint m_failedId = 0; // a handed-over message whose failure the engine is about to tell
    QSet<QString> m_holders; // who holds the station by retener(), by their names on the bus
    QDBusServiceWatcher m_holderWatch;
    void letGo(const QString &holder);
};
