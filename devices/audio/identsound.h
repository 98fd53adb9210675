#pragma once

#include "identification.h"

#include <QList>
#include <QTemporaryDir>

// The station's identification as sound: the callsign in Morse, or the operator's voice file,
// at the rate of the play it goes out with, written into files of a folder of its own.
class IdentSound : public Identification
{
public:
    // Silence between the message and its identification.
    static constexpr int GapMs = 500;
    // The rate of an identification sent on its own.
    static constexpr int AloneRate = 48000;

    explicit IdentSound(const IdentSettings &settings = {});
    ~IdentSound() override;

    void setSettings(const IdentSettings &settings) override { m_settings = settings; }
    const IdentSettings &settings() const override { return m_settings; }

    // With identificacion "final" only.
    QString withIdentification(const QString &message) override;
    QString alone() override;

    // The identification's mono samples at rate. Throws DeviceError.
    static QList<float> samples(const IdentSettings &settings, int rate);
    // Writes the identification alone at path, at AloneRate. Throws DeviceError.
    static void write(const QString &path, const IdentSettings &settings);

private:
    QString nextPath();

    IdentSettings m_settings;
    QTemporaryDir m_dir;
    QString m_lastPath;
    int m_count = 0;
};
