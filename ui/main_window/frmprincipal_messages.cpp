// The message commands of the main window: open an existing WAV file, record a new one.
#include "frmprincipal.h"

#include <QScopeGuard>

#include "frmgrabador.h"
#include "levelsettings.h"

#include <QAction>
#include <QMenu>

// While the operator chooses or records a message, no scheduled one borrows the device: its
// message name must not change under a play.
void Frmprincipal::mnuabrirmensaje_Click()
{
    m_schedule.hold(true);
    const auto letGo = qScopeGuard([this] { m_schedule.hold(false); });
    ventanas().setFileName(QString());
    if (!ventanas().showOpen())
        return;
    reproductor().setFileName(ventanas().fileName());
    showMessageLoaded();
}

void Frmprincipal::mnunuevomensaje_Click()
{
    m_schedule.hold(true);
    const auto letGo = qScopeGuard([this] { m_schedule.hold(false); });
    ventanas().setFileName(QString());
    if (!ventanas().showSave())
        return;
    const QString previous = reproductor().fileName();
    reproductor().setFileName(ventanas().fileName());
    frmgrabador recorder(this, reproductor(), ventanas(), messageBoxes(), previous,
                         [this] { return ending(); });
    recorder.setLevel(readLevelSettings(settings()));
    recorder.exec();
    if (recorder.recorded())
        showMessageLoaded();
}

void Frmprincipal::showMessageLoaded()
{
    m_messageLoaded = true;
    setWindowTitle(QStringLiteral("Pregonal - ") + reproductor().fileName());
    mnuedicion->menuAction()->setEnabled(true);
    mnustop->setEnabled(false);
    setButtonsEnabled({{4, true}, {5, true}, {7, false}});
}
