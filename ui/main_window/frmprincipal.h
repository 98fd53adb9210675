#pragma once

#include "enginelogger.h"
#include "identrunner.h"
#include "identsettings.h"
#include "keyingsettings.h"
#include "platformparts.h"
#include "programvalues.h"
#include "schedulerunner.h"
#include "soundcardsettings.h"
#include "station.h"
#include "transmissionengine.h"
#include "transmissionlog.h"

#include <QList>
#include <QMainWindow>

class frmavisos;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;

// The main window: a thin strip of toolbar, progress bar and status bar under the menu bar.
// It owns the devices; its transmission engine keys and plays, and the window shows it.
class Frmprincipal : public QMainWindow
{
    Q_OBJECT
public:
    Frmprincipal(ProgramValues &module1, PlatformParts parts, QWidget *parent = nullptr);
    ~Frmprincipal() override;

    void Form_Load();
    // Ends the program in order from whatever it is doing (a termination signal, a logout): open
    // boxes and dialogs close, a running recording is saved as "Stop" saves it, then the window
    // unloads.
    void endProgram();
    bool ending() const { return m_ending; }
    // Shows the window in front of the others, restored if minimized.
    bool bringToFront();
    // The window shows and drives a station another process runs (see PlatformParts::face).
    bool isFace() const { return m_face != nullptr; }

    // Commands, as the menu items, their shortcuts and the toolbar give them.
    void mnunuevomensaje_Click();
    void mnuabrirmensaje_Click();
    void mnuopciones_Click();
    void mnuestacion_Click();
    void mnuprogramacion_Click();
    void mnuregistro_Click();
    void mnusalir_Click();
    void mnuunavez_Click();
    void mnuenbucle_Click();
    void mnustop_Click();
    void mnuaumentarintervalo_Click();
    void mnudisminuirintervalo_Click();
    void mnuacercade_Click();
    void Toolbar1_ButtonClick(int index);

    // Device and timer events; the engine receives them and does the device work.
    void reproductor_Done(int NotifyCode) { m_engine.reproductor_Done(NotifyCode); }
    void reproductor_StatusUpdate();
    void Timer1_Timer() { m_engine.Timer1_Timer(); }
    // The key has been up for longer than any play explains: cut the transmission.
    void guardTimeout() { m_engine.guardTimeout(); }
    // How long the guard allows the key up this time, or -1 while the key is down.
    int guardInterval() const { return m_engine.guardInterval(); }
    // True while the running transmission is a single play.
    bool modounavez() const { return m_engine.modounavez(); }

    // The parts it owns, as the tests reach them.
    ProgramValues &module1() { return m_module1; }
    AudioDevice &reproductor() { return *m_parts.reproductor; }
    SerialLine &MSComm1() { return *m_parts.MSComm1; }
    // What keys the transmitter now: the serial line, or the method the station chose.
    Keyer &keyer() { return m_engine.keyer(); }
    FileDialog &ventanas() { return *m_parts.ventanas; }
    MessageBoxes &messageBoxes() { return *m_parts.messageBoxes; }
    SettingsStore &settings() { return *m_parts.settings; }
    RegistryReader &registry() { return *m_parts.registry; }
    ProgramLauncher &launcher() { return *m_parts.launcher; }
    SoundServer &soundServer() { return *m_parts.sound; }
    Station &station() { return m_station; }
    TransmissionLog &transmissionLog() { return m_log; }
    ScheduleRunner &schedule() { return m_schedule; }
    // The notice of scheduled transmissions that did not go out, once there has been one.
    frmavisos *avisos() const { return m_avisos; }
    RepeatTimer &Timer1() { return m_engine.Timer1(); }
    QProgressBar *ProgressBar1() const { return m_progressBar1; }
    QToolBar *Toolbar1() const { return m_toolbar1; }
    // Toolbar button by its 1-based index, separators included.
    QAction *button(int index) const { return m_buttons.value(index - 1); }
    QLabel *panel(int number) const { return m_panels.value(number - 1); }
    void setPanel(int number, const QString &text);
    // Panel 2 with a port number, panel 3 with a pause in whole seconds.
    void showPort(int port);
    void showInterval(int seconds);
    // Shows the message the audio device names as the current one, ready to transmit.
    void showMessageLoaded();

    QMenu *mnuarchivo = nullptr;
    QAction *mnunuevomensaje = nullptr;
    QAction *mnuabrirmensaje = nullptr;
    QAction *mnuopciones = nullptr;
    QAction *mnuestacion = nullptr;
    QAction *mnuprogramacion = nullptr;
    QAction *mnuregistro = nullptr;
    QAction *mnusalir = nullptr;
    QMenu *mnuedicion = nullptr;
    QMenu *mnutx = nullptr;
    QAction *mnuunavez = nullptr;
    QAction *mnuenbucle = nullptr;
    QAction *mnustop = nullptr;
    QAction *mnuaumentarintervalo = nullptr;
    QAction *mnudisminuirintervalo = nullptr;
    QAction *mnuacercade = nullptr;

    qint16 respuesta = 0;

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    // The first show centres the window on the screen of the mouse pointer, unless it was placed.
    void showEvent(QShowEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void connectCommand(QAction *item, void (Frmprincipal::*handler)(), QList<QMenu *> containers);
    void Form_Unload();

    void setButtonsEnabled(std::initializer_list<std::pair<int, bool>> states);
    void connectEngine();
    void showTransmissionState(TransmissionEngine::State state);
    void showOnAir();
    void showChannelWait(int seconds);
    void noteFailure(const TransmissionRecord &record);
    QString settingsNotWrittenText() const;
    // The face of another process's station: its state shown, the commands handed to it, the
    // station taken over when it ends.
    bool startAsFace();
    void connectFace();
    void faceSend(bool loop);
    void takeOver();
    TransmissionEngine::State shownState() const { return m_face ? m_face->state() : m_engine.state(); }
    int shownIntervalMs() { return m_face ? m_face->intervalSecs() * 1000 : Timer1().interval(); }
    void setShownInterval(int ms);

    ProgramValues &m_module1;
    PlatformParts m_parts;
    // Declared after the devices it drives, so that it unkeys and releases them before they go.
    Station m_station;
    TransmissionEngine &m_engine;
    TransmissionLog &m_log;
    EngineLogger &m_logger;
    ScheduleRunner &m_schedule;
    QToolBar *m_toolbar1 = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QList<QAction *> m_buttons;
    QList<QLabel *> m_panels;
    bool m_unloaded = false;
    bool m_ending = false;
    bool m_shownBefore = false;
    // A message has been opened or recorded: the idle layout offers it.
    bool m_messageLoaded = false;
    // What the first panel's tooltip says while nothing is on the air.
    QString m_failureNote;
    // Whose transmission the failure being reported was: the engine's failed() comes after its
    // line has been logged.
    enum class FailureOf { Nobody, Operator, Schedule };
    FailureOf m_failureOf = FailureOf::Nobody;
    frmavisos *m_avisos = nullptr;
    RemoteStation *m_face = nullptr;
    // When the owner of the station was last known alive, and the retry of taking it over.
    QDateTime m_ownerGoneAt;
    QTimer *m_claimRetry = nullptr;
};
