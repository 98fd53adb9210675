#pragma once

#include "keyer.h"

class SerialLine;

// Keys through the DTR/RTS lines of a serial line (not owned), which does the levels, the
// inversion and the vanished-port handling. Its key-up is confirmed at once.
class SerialKeyer : public Keyer
{
    Q_OBJECT
public:
    explicit SerialKeyer(SerialLine &line, QObject *parent = nullptr);
    ~SerialKeyer() override;

    void open() override;
    void close() override;
    bool isOpen() const override;
    void keyUp() override;
    void keyDown() override;
    bool check() override;
    QString description() const override;

private:
    SerialLine &m_line;
};

// VOX: the interface keys itself on the sound. Nothing is opened or keyed; the cycle still waits
// the lead (VOX needs it to rise) and the tail.
class NoKeyer : public Keyer
{
    Q_OBJECT
public:
    using Keyer::Keyer;

    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void keyUp() override { emit keyedUp(); }
    void keyDown() override {}
    bool check() override { return m_open; }
    QString description() const override { return QStringLiteral("VOX (ningún dispositivo)"); }

private:
    bool m_open = false;
};
