#pragma once

// The real main window in this process on the settings, log and pty of a Home (clihome.h), opened
// while an owner serves the station on a session bus: the face of that station.
#include "audio/qtsoundserver.h"
#include "audio/wavaudiodevice.h"
#include "clihome.h"
#include "fakeplatform.h"
#include "frmprincipal.h"
#include "portnames.h"
#include "qtserialline.h"
#include "realrig.h"
#include "stationface.h"

#include <QLabel>

struct FaceWindow
{
    ProgramValues values;
    FakeMessageBoxes *boxes = nullptr;
    FakeFileDialog *files = nullptr;
    StationFace *face = nullptr;
    std::unique_ptr<Frmprincipal> window;

    FaceWindow(const Home &home, const QDBusConnection &bus)
    {
        PlatformParts parts;
        parts.settings = std::make_unique<SettingsStore>(home.dir.filePath(QStringLiteral("config/Pregonal")));
        const SettingsStore *store = parts.settings.get();
        parts.MSComm1 = std::make_unique<QtSerialLine>([store](int n) { return serialDeviceForPort(*store, n); });
        parts.reproductor = std::make_unique<WavAudioDevice>();
        files = new FakeFileDialog;
        parts.ventanas.reset(files);
        boxes = new FakeMessageBoxes;
        parts.messageBoxes.reset(boxes);
        parts.registry = std::make_unique<FakeRegistry>();
        parts.launcher = std::make_unique<FakeLauncher>();
        parts.sound = std::make_unique<QtSoundServer>();
        parts.logFolder = home.logFolder();
        auto remote = std::make_unique<StationFace>(bus);
        if (!remote->attach())
            return;
        face = remote.get();
        parts.face = std::move(remote);
        window = std::make_unique<Frmprincipal>(values, std::move(parts));
        window->Form_Load();
    }
    QString panel(int n) const { return window->panel(n)->text(); }
    bool waitFor(const QString &panel1, int timeoutMs = 10000)
    {
        return waitUntil([&] { return panel(1) == panel1; }, timeoutMs);
    }
    void openMessage(const QString &path)
    {
        files->answers.push_back(path);
        window->mnuabrirmensaje_Click();
    }
};
