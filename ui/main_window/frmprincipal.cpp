#include "frmprincipal.h"

#include "desktop.h"
#include "frmabout.h"
#include "keyingsettings.h"
#include "layout.h"
#include "pictures.h"
#include "soundcardsettings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {
const QString kTitle = QStringLiteral("Pregonal");
}

namespace {
PlatformParts withDefaults(PlatformParts parts)
{
    if (!parts.clock)
        parts.clock = std::make_unique<SystemClock>();
    if (parts.logFolder.isEmpty())
        parts.logFolder = TransmissionLog::defaultFolder();
    return parts;
}

StationParts stationParts(PlatformParts &parts)
{
    StationParts station;
    station.audio = parts.reproductor.get();
    station.line = parts.MSComm1.get();
    station.settings = parts.settings.get();
    station.clock = parts.clock.get();
    station.logFolder = parts.logFolder;
    station.makeKeyer = parts.makeKeyer;
    station.identification = parts.identification.get();
    station.makeBusySource = parts.makeBusySource;
    station.sound = parts.sound.get();
    return station;
}
} // namespace

Frmprincipal::Frmprincipal(ProgramValues &module1, PlatformParts parts, QWidget *parent)
    : QMainWindow(parent), m_module1(module1), m_parts(withDefaults(std::move(parts))),
      m_station(stationParts(m_parts)), m_engine(m_station.engine()), m_log(m_station.log()),
      m_logger(m_station.logger()), m_schedule(m_station.schedule())
{
    setObjectName(QStringLiteral("Frmprincipal"));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    buildMenus();
    buildToolbar();

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setFixedHeight(twips(435));
    setCentralWidget(m_progressBar1);

    buildStatusBar();

    connectEngine();
    connect(&m_station, &Station::identificationFailed, this, [this](const QString &reason) {
        messageBoxes().show(QStringLiteral("No se ha podido identificar la estación."), MessageBoxes::OkOnly,
                            MessageBoxes::Critical, kTitle, reason);
    });
    // Settings another program stored, read again: the panels follow them.
    connect(&m_station, &Station::reloaded, this, [this] {
        m_module1.puertocom = readPuerto(settings());
        m_module1.intervalosegs = readIntervalo(settings());
        showPort(m_module1.puertocom);
        showInterval(m_module1.intervalosegs);
    });

    // Client area 6525 x 1230 twips under the menu bar, fixed.
    setFixedSize(twips(6525), menuBar()->sizeHint().height() + twips(1230));
}

// However the program ends, the engine unkeys the transmitter and releases the port and the
// sound as it goes. What serves the station on the bus after a takeover goes before the station.
Frmprincipal::~Frmprincipal()
{
    m_parts.face.reset();
}

void Frmprincipal::buildMenus()
{
    QMenuBar *bar = menuBar();
    mnuarchivo = bar->addMenu(QStringLiteral("&Archivo"));
    mnuarchivo->setObjectName(QStringLiteral("mnuarchivo"));
    mnunuevomensaje = mnuarchivo->addAction(QStringLiteral("&Nuevo mensaje"));
    mnunuevomensaje->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuabrirmensaje = mnuarchivo->addAction(QStringLiteral("&Abrir mensaje"));
    mnuabrirmensaje->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuarchivo->addSeparator()->setObjectName(QStringLiteral("non"));
    mnuopciones = mnuarchivo->addAction(QStringLiteral("&Opciones"));
    mnuestacion = mnuarchivo->addAction(QStringLiteral("&Estación..."));
    mnuprogramacion = mnuarchivo->addAction(QStringLiteral("&Programación..."));
    mnuregistro = mnuarchivo->addAction(QStringLiteral("&Registro..."));
    mnuarchivo->addSeparator()->setObjectName(QStringLiteral("no"));
    mnusalir = mnuarchivo->addAction(QStringLiteral("&Salir"));
    mnusalir->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    mnuedicion = bar->addMenu(QStringLiteral("&Edición"));
    mnuedicion->setObjectName(QStringLiteral("mnuedicion"));
    mnutx = mnuedicion->addMenu(QStringLiteral("&TX"));
    mnutx->setObjectName(QStringLiteral("mnutx"));
    mnuunavez = mnutx->addAction(QStringLiteral("Una &vez"));
    mnuunavez->setShortcut(QKeySequence(Qt::Key_F5));
    mnuenbucle = mnutx->addAction(QStringLiteral("En &bucle"));
    mnuenbucle->setShortcut(QKeySequence(Qt::Key_F6));
    mnustop = mnuedicion->addAction(QStringLiteral("&Stop"));
    mnustop->setShortcut(QKeySequence(Qt::Key_F7));
    mnuedicion->addSeparator()->setObjectName(QStringLiteral("none"));
    mnuaumentarintervalo = mnuedicion->addAction(QStringLiteral("&Aumentar intervalo"));
    mnuaumentarintervalo->setShortcut(QKeySequence(Qt::Key_F9));
    mnudisminuirintervalo = mnuedicion->addAction(QStringLiteral("&Disminuir intervalo"));
    mnudisminuirintervalo->setShortcut(QKeySequence(Qt::Key_F8));

    mnuacercade = bar->addAction(QStringLiteral("Acerca de..."));

    const QList<QPair<QAction *, const char *>> names = {{mnunuevomensaje, "mnunuevomensaje"},
                                                         {mnuabrirmensaje, "mnuabrirmensaje"},
                                                         {mnuopciones, "mnuopciones"},
                                                         {mnuestacion, "mnuestacion"},
                                                         {mnuprogramacion, "mnuprogramacion"},
                                                         {mnuregistro, "mnuregistro"},
                                                         {mnusalir, "mnusalir"},
                                                         {mnuunavez, "mnuunavez"},
                                                         {mnuenbucle, "mnuenbucle"},
                                                         {mnustop, "mnustop"},
                                                         {mnuaumentarintervalo, "mnuaumentarintervalo"},
                                                         {mnudisminuirintervalo, "mnudisminuirintervalo"},
                                                         {mnuacercade, "mnuacercade"}};
    for (const auto &[item, name] : names) {
        item->setObjectName(QLatin1String(name));
        // Shortcut keys belong to the main window, whether or not a menu is open.
        item->setShortcutContext(Qt::WindowShortcut);
        addAction(item);
    }

    connectCommand(mnunuevomensaje, &Frmprincipal::mnunuevomensaje_Click, {mnuarchivo});
    connectCommand(mnuabrirmensaje, &Frmprincipal::mnuabrirmensaje_Click, {mnuarchivo});
    connectCommand(mnuopciones, &Frmprincipal::mnuopciones_Click, {mnuarchivo});
    connectCommand(mnuestacion, &Frmprincipal::mnuestacion_Click, {mnuarchivo});
    connectCommand(mnuprogramacion, &Frmprincipal::mnuprogramacion_Click, {mnuarchivo});
    connectCommand(mnuregistro, &Frmprincipal::mnuregistro_Click, {mnuarchivo});
    connectCommand(mnusalir, &Frmprincipal::mnusalir_Click, {mnuarchivo});
    connectCommand(mnuunavez, &Frmprincipal::mnuunavez_Click, {mnuedicion, mnutx});
    connectCommand(mnuenbucle, &Frmprincipal::mnuenbucle_Click, {mnuedicion, mnutx});
    connectCommand(mnustop, &Frmprincipal::mnustop_Click, {mnuedicion});
    connectCommand(mnuaumentarintervalo, &Frmprincipal::mnuaumentarintervalo_Click, {mnuedicion});
    connectCommand(mnudisminuirintervalo, &Frmprincipal::mnudisminuirintervalo_Click, {mnuedicion});
    connectCommand(mnuacercade, &Frmprincipal::mnuacercade_Click, {});
}

// A menu item acts only while it is offered: a shortcut key must not run a command whose menu
// is disabled (Ctrl+N while transmitting, F5 with the port already open).
void Frmprincipal::connectCommand(QAction *item, void (Frmprincipal::*handler)(), QList<QMenu *> containers)
{
    connect(item, &QAction::triggered, this, [this, handler, containers] {
        for (const QMenu *menu : containers) {
            if (!menu->menuAction()->isEnabled())
                return;
        }
        (this->*handler)();
    });
}

void Frmprincipal::buildToolbar()
{
    m_toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setMovable(false);
    m_toolbar1->setFloatable(false);
    m_toolbar1->setIconSize(QSize(16, 16));
    m_toolbar1->setFixedHeight(twips(420));
    m_toolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar1->toggleViewAction()->setEnabled(false);

    struct Button
    {
        const char *picture; // empty for a separator
        const char *tooltip;
        bool enabled;
    };
    const Button buttons[] = {{"nuevo", "Nuevo Mensaje (Ctrl+N)", true},
                              {"abrir", "Abir Mensaje (Ctrl+A)", true},
                              {"", "", false},
                              {"unavez", "Reproducir una vez (F5)", false},
                              {"bucle", "Reproducir en bucle (F6)", false},
                              {"", "", false},
                              {"stop", "Stop (F7)", false},
                              {"", "", false},
                              {"opciones", "Propiedades/Opciones", true}};
    for (const Button &b : buttons) {
        const int index = int(m_buttons.size()) + 1;
        if (!*b.picture) {
            m_buttons.append(m_toolbar1->addSeparator());
            continue;
        }
        QAction *action = m_toolbar1->addAction(toolbarPicture(QLatin1String(b.picture)), QString());
        action->setToolTip(QString::fromUtf8(b.tooltip));
        action->setEnabled(b.enabled);
        action->setObjectName(QStringLiteral("Toolbar1_%1").arg(index));
        if (auto *tool = qobject_cast<QToolButton *>(m_toolbar1->widgetForAction(action)))
            tool->setAccessibleName(action->toolTip());
        connect(action, &QAction::triggered, this, [this, index] { Toolbar1_ButtonClick(index); });
        m_buttons.append(action);
    }
}

void Frmprincipal::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(twips(375));
    // Each panel keeps its width unless the desktop's font needs more for its longest text.
    const QList<QPair<int, QString>> panels = {{1000, QStringLiteral("Stand by")},
                                               {1350, QStringLiteral("Puerto COM = 255")},
                                               {1550, QStringLiteral("Intervalo = 255 segs")}};
    for (const auto &[width, longest] : panels) {
        auto *label = new QLabel(bar);
        label->setObjectName(QStringLiteral("panel%1").arg(m_panels.size() + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(2);
        const int needed = label->fontMetrics().horizontalAdvance(longest) + 2 * (label->frameWidth() + 4);
        label->setFixedWidth(qMax(twips(width), needed));
        bar->addWidget(label);
        m_panels.append(label);
    }
}

void Frmprincipal::setPanel(int number, const QString &text)
{
    m_panels.at(number - 1)->setText(text);
    m_panels.at(number - 1)->setAccessibleName(text);
}

void Frmprincipal::showPort(int port)
{
    setPanel(2, QStringLiteral("Puerto COM = %1").arg(port));
}

void Frmprincipal::showInterval(int seconds)
{
    setPanel(3, QStringLiteral("Intervalo = %1 segs").arg(seconds));
}

void Frmprincipal::Form_Load()
{
    ventanas().setFilter(QStringLiteral("*.wav|*.wav|"));
    reproductor().setDeviceType(QStringLiteral("waveaudio"));
    setWindowTitle(QStringLiteral("Pregonal - sin mensaje"));
    m_module1.intervalosegs = readIntervalo(settings());
    m_module1.puertocom = readPuerto(settings());
    mnuedicion->menuAction()->setEnabled(false);
    setPanel(1, QStringLiteral("Stand by"));
    showPort(m_module1.puertocom);
    showInterval(m_module1.intervalosegs);
    if (startAsFace()) {
        m_station.applyCards(readSoundCardSettings(settings()));
        return;
    }
    m_station.load();
    m_station.runIdentification();
    // A transmission the program did not live to finish gets its line, then the schedule runs.
    m_log.recoverInterrupted();
    // Another Pregonal runs the schedule of these settings: it runs there only.
    if (!m_station.startSchedule(QStringLiteral("ventana"))) {
        m_failureNote = QStringLiteral("La programación no se ejecuta en esta ventana: la ejecuta %1.")
                            .arg(m_station.scheduleHolder());
        showOnAir();
    }
}

void Frmprincipal::showEvent(QShowEvent *event)
{
    if (!m_shownBefore && !event->spontaneous() && !testAttribute(Qt::WA_Moved))
        centreOnPointerScreen(*this);
    m_shownBefore = true;
    QMainWindow::showEvent(event);
}

void Frmprincipal::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

// Ends the program. The devices are released as the window is destroyed: the serial line drops
// both lines and closes, the audio device stops.
void Frmprincipal::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Timer1().setEnabled(false);
    hide();
    emit unloaded();
    QCoreApplication::quit();
}

void Frmprincipal::endProgram()
{
    m_ending = true;
    // Innermost first, as each waits on the one above it; a box left open would hold the end up.
    for (int depth = 0; depth < 16; ++depth) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->close())
            break;
    }
    close();
}

void Frmprincipal::mnusalir_Click()
{
    respuesta = qint16(messageBoxes().show(QStringLiteral("¿Quiere Salir?"), MessageBoxes::YesNo,
                                           MessageBoxes::Warning, kTitle));
    if (respuesta == MessageBoxes::Yes)
        close();
}

void Frmprincipal::mnuacercade_Click()
{
    frmAbout dialog(this, registry(), launcher(), messageBoxes());
    dialog.exec();
}

void Frmprincipal::Toolbar1_ButtonClick(int index)
{
    switch (index) {
    case 1:
        mnunuevomensaje_Click();
        break;
    case 2:
        mnuabrirmensaje_Click();
        break;
    case 4:
        mnuunavez_Click();
        break;
    case 5:
        mnuenbucle_Click();
        break;
    case 7:
        mnustop_Click();
        break;
    case 9:
        mnuopciones_Click();
        break;
    default:
        break;
    }
}

void Frmprincipal::setButtonsEnabled(std::initializer_list<std::pair<int, bool>> states)
{
    for (const auto &[index, enabled] : states)
        button(index)->setEnabled(enabled);
}
