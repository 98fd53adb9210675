#pragma once

#include "platformparts.h"
#include "programvalues.h"
#include "repeattimer.h"

#include <QList>
#include <QMainWindow>
#include <QTimer>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;

// The main window: a thin strip of toolbar, progress bar and status bar under the menu bar.
// It owns the devices and drives the transmission cycle.
class Frmprincipal : public QMainWindow
{
    Q_OBJECT
public:
    Frmprincipal(ProgramValues &module1, PlatformParts parts, QWidget *parent = nullptr);
    ~Frmprincipal() override;

    void Form_Load();

    // Commands, as the menu items, their shortcuts and the toolbar give them.
    void mnunuevomensaje_Click();
    void mnuabrirmensaje_Click();
    void mnuopciones_Click();
    void mnusalir_Click();
    void mnuunavez_Click();
    void mnuenbucle_Click();
    void mnustop_Click();
    void mnuaumentarintervalo_Click();
    void mnudisminuirintervalo_Click();
    void mnuacercade_Click();
    void Toolbar1_ButtonClick(int index);

    // Device and timer events.
    void reproductor_Done(int NotifyCode);
    void reproductor_StatusUpdate();
    void Timer1_Timer();
    // The key has been up for longer than any play explains: cut the transmission.
    void guardTimeout();
    // How long the guard allows the key up this time, or -1 while the key is down.
    int guardInterval() const { return m_guard.isActive() ? m_guard.interval() : -1; }

    // What the dialogs and tests reach.
    ProgramValues &module1() { return m_module1; }
    AudioDevice &reproductor() { return *m_parts.reproductor; }
    SerialLine &MSComm1() { return *m_parts.MSComm1; }
    FileDialog &ventanas() { return *m_parts.ventanas; }
    MessageBoxes &messageBoxes() { return *m_parts.messageBoxes; }
    SettingsStore &settings() { return *m_parts.settings; }
    RegistryReader &registry() { return *m_parts.registry; }
    ProgramLauncher &launcher() { return *m_parts.launcher; }
    RepeatTimer &Timer1() { return m_timer1; }
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
    bool modounavez = false;

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
    void releaseDevices();

    void setButtonsEnabled(std::initializer_list<std::pair<int, bool>> states);
    void setIdleLayout();
    bool openPort();
    void startPlay();
    void keyUp();
    void keyDown();
    void applyKeyingSettings();
    void failTransmission(const QString &message);
    void commandQuietly(const QString &command);

    ProgramValues &m_module1;
    PlatformParts m_parts;
    RepeatTimer m_timer1;
    // Unkeys the transmitter if the lines stay up longer than a play can explain, whatever the
    // sound path does.
    QTimer m_guard;
    int m_leadMs = 0;
    int m_tailMs = 0;
    int m_maxTransmissionMs = 0; // 0: no cap
    QToolBar *m_toolbar1 = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QList<QAction *> m_buttons;
    QList<QLabel *> m_panels;
    // A play with an armed completion is out: only its Done may end or continue the cycle.
    bool m_awaitingDone = false;
    bool m_unloaded = false;
    bool m_shownBefore = false;
};
