#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

struct Command;

// Another Pregonal that owns this user's station, as this process reaches it on the session bus.
struct StationOwner
{
    uint pid = 0;
    QString what;     // "ventana", "programa"
    QString settings; // its settings file
};

// The command line as a client of the station's owner: the message handed over and waited for,
// Stop, the state.
class StationClient : public QObject
{
    Q_OBJECT
public:
    // send()'s answer when the owner went before the message went out and none came back in
    // OwnerBackMs: the command is to send it itself.
    static constexpr int SendAlone = -1;
    // A service started again by systemd comes back in 10 s; a window takes over sooner.
    static constexpr int OwnerBackMs = 15000;

    explicit StationClient(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // The owner of the station of settingsFile, if one is running; none without a bus, or when
    // the owner runs other settings (another user's home, a test's).
    bool findOwner(const QString &settingsFile);
    const StationOwner &owner() const { return m_owner; }

    // Hands the message over and waits for its end, telling its progress on a terminal. The exit
    // status as a transmission of its own would give it. When the owner goes before the message
    // went out, it goes to the next owner, or SendAlone when none comes.
    int send(const Command &command);
    int stop();
    int state();
    // Asks the owner to bring its window to the front; false when it has none.
    bool show();
    // The end of the program while waiting (a signal): what it handed over is withdrawn, stopped
    // when already on the air.
    void terminate();

private slots:
    void onStateChanged(const QString &estado, const QString &archivo);
    void onEnded(uint id, const QString &resultado, const QString &detalle);

private:
    bool handOver();
    void onOwnerGone();
    void onOwnerBack();

    QDBusConnection m_bus;
    StationOwner m_owner;
    QString m_settingsFile;
    QString m_file;
    QString m_fileName;
    uint m_id = 0;
    int m_times = 1;
    int m_pause = 0;
    // The owner told of our message as its own (on the air, or waiting for the channel): a new
    // owner must not send it again.
    bool m_started = false;
    QTimer *m_ownerBack = nullptr;
    bool m_terminating = false;
    int m_status = 0;
};

// What the command asks of the station this user runs already: handed to it and done, with the
// exit status; nothing when the command runs a station of its own.
std::optional<int> runAsClient(const Command &command);
