#pragma once

#include "fakeaudiodevice.h"
#include "fakeplatform.h"
#include "fakeserialline.h"
#include "fakesoundserver.h"
#include "frmprincipal.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <memory>

// The real main window built on fakes and a settings store of its own, as the tests drive it.
struct WindowFixture
{
    QTemporaryDir storeDir;
    QTemporaryDir logDir;
    // Set before load() to run the window on a clock the test moves.
    QDateTime clockAt;
    ManualClock *clock = nullptr;
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();
    ProgramValues values;
    FakeAudioDevice *audio = nullptr;
    FakeSerialLine *serial = nullptr;
    FakeFileDialog *files = nullptr;
    FakeMessageBoxes *boxes = nullptr;
    FakeRegistry *registry = nullptr;
    FakeLauncher *launcher = nullptr;
    FakeSoundServer *sound = nullptr;
    // Builds the keyers of the methods other than the serial line (empty: the window's own choice).
    KeyerMaker makeKeyer;
    BusySourceMaker makeBusySource;
    std::unique_ptr<Frmprincipal> window;

    // Writes "conf" settings before the window loads.
    void store(const QString &key, const QString &text, const QString &section = QStringLiteral("conf"))
    {
        SettingsStore(storeDir.path()).write(QStringLiteral("Pregonal"), section, key, text);
    }

    Frmprincipal &load()
    {
        PlatformParts parts;
        auto a = std::make_unique<FakeAudioDevice>(log);
        auto s = std::make_unique<FakeSerialLine>(log);
        auto f = std::make_unique<FakeFileDialog>();
        auto b = std::make_unique<FakeMessageBoxes>();
        auto r = std::make_unique<FakeRegistry>();
        auto l = std::make_unique<FakeLauncher>();
        audio = a.get();
        serial = s.get();
        files = f.get();
        boxes = b.get();
        registry = r.get();
        launcher = l.get();
        parts.reproductor = std::move(a);
        parts.MSComm1 = std::move(s);
        parts.ventanas = std::move(f);
        parts.messageBoxes = std::move(b);
        parts.registry = std::move(r);
        parts.launcher = std::move(l);
        auto so = std::make_unique<FakeSoundServer>(log);
        sound = so.get();
        parts.sound = std::move(so);
        parts.logFolder = logDir.path();
        if (clockAt.isValid()) {
            auto c = std::make_unique<ManualClock>(clockAt);
            clock = c.get();
            parts.clock = std::move(c);
        }
        parts.settings = std::make_unique<SettingsStore>(storeDir.path());
        parts.makeKeyer = makeKeyer;
        parts.makeBusySource = makeBusySource;
        window = std::make_unique<Frmprincipal>(values, std::move(parts));
        window->Form_Load();
        log->clear();
        return *window;
    }

    // Opens a message through the file dialog, as the operator would.
    void openMessage(const QString &path = QStringLiteral("/tmp/mensaje.wav"))
    {
        files->answers.push_back(path);
        window->mnuabrirmensaje_Click();
        log->clear();
    }

    // Loads the window, opens a message and starts sending it once or in a loop; clears the log.
    void startSending(bool once)
    {
        load();
        openMessage();
        once ? window->mnuunavez_Click() : window->mnuenbucle_Click();
        log->clear();
    }

    // Shows the window and makes it active, so that its shortcut keys reach it.
    bool showActive()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowActive(window.get());
    }

    QString panel(int n) const { return window->panel(n)->text(); }
    QString storeFile() const { return storeDir.path() + QStringLiteral("/Pregonal.conf"); }
    bool storeExists() const { return QFileInfo::exists(storeFile()); }
};

// Gives the command's modal dialog to body once it is up, and closes it if body left it open.
// Returns whether the dialog was shown at all.
template <class Dialog>
bool whileModal(const std::function<void()> &command, const std::function<void(Dialog &)> &body)
{
    bool seen = false;
    QObject context;
    QTimer::singleShot(0, &context, [&] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        body(*dialog);
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
    command();
    return seen;
}
