#pragma once

#include "platform.h"

// Starts programs with QProcess, by path and with no shell, without waiting for them.
class SystemLauncher : public ProgramLauncher
{
public:
    bool fileExists(const QString &path) const override;
    bool start(const QString &path) override;
    // Through xdg-open, the desktop's own choice of file manager.
    bool openFolder(const QString &path) override;
};
