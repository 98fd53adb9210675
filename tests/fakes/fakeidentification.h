#pragma once

#include "deviceerror.h"
#include "identification.h"

#include <QStringList>

// The identification as the engine and the runner see it: a file name, nothing, or a refusal.
struct FakeIdentification : Identification
{
    QString file = QStringLiteral("/tmp/identificado.wav");
    QString aloneFile = QStringLiteral("/tmp/identificacion.wav");
    QString refusal;
    QStringList asked;
    IdentSettings values;
    void setSettings(const IdentSettings &settings) override { values = settings; }
    const IdentSettings &settings() const override { return values; }
    QString alone() override
    {
        if (!refusal.isEmpty())
            throw DeviceError(refusal);
        return aloneFile;
    }
    QString withIdentification(const QString &message) override
    {
        asked << message;
        if (!refusal.isEmpty())
            throw DeviceError(refusal);
        return file;
    }
};
