#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. No option at all: the window, as always.
struct Command
{
    enum class Mode { Window, Send, Schedule, Devices, Test, Identify, Version, Help, Measure, Stop, State, Bad };

    Mode mode = Mode::Window;
    QString file;      // --enviar
    bool loop = false; // --bucle, or --veces
    int interval = -1; // --intervalo, seconds; -1: the stored pause
    int times = 0;     // --veces; 0: until signalled
    QString error;     // with Mode::Bad, what is wrong, in Spanish
    QStringList files; // --medir

    // Exit statuses: done, a transmission failed, the command line was wrong.
    static constexpr int Ok = 0;
    static constexpr int Failed = 1;
    static constexpr int Usage = 2;
};

// Reads the arguments after the program's name. Options may be given as "--opción valor" or
// "--opción=valor"; a number out of its range, an unknown option, a stray word, two modes at
// once, --enviar twice, an option where a value should be or a send option without --enviar
// are errors.
Command parseCommandLine(const QStringList &arguments);

// The text of --help.
QString helpText();
