#pragma once

#include "gpiokeyer.h"
#include "pollingbusysource.h"

#include <memory>

// A GPIO input line ("<chip>:<line>", "!" for active-low), requested as an input at open and
// held until close.
class GpioBusySource : public PollingBusySource
{
    Q_OBJECT
public:
    explicit GpioBusySource(const QString &lineText, std::unique_ptr<GpioInput> input = makeGpiodInput(),
                            QObject *parent = nullptr);
    ~GpioBusySource() override;

    QString description() const override;

protected:
    void openDevice() override;
    void closeDevice() override;
    int readBusy() override;
    QString lostReason() const override;
    std::function<int()> backgroundLook() override;

private:
    QString m_lineText;
    GpioLine m_line;
    std::unique_ptr<GpioInput> m_input;
};
