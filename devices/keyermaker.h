#pragma once

#include "keyer.h"
#include "keyersettings.h"

#include <functional>
#include <memory>

// Builds the keyer a method names, for the output card outputCardId (the sound server's name of
// the card the messages go out on: a CM108 on "auto" is that card's own chip). Building never
// opens nor fails; open() says what is wrong. Null for "serie": the serial line keys.
using KeyerMaker =
    std::function<std::unique_ptr<Keyer>(const KeyerSettings &settings, const QString &outputCardId)>;

// The methods that need no library: the serial line and VOX. Any other opens with a refusal, and
// so does any method whose values cannot be used (keyerSettingsProblem), before anything is keyed.
std::unique_ptr<Keyer> makeBasicKeyer(const KeyerSettings &settings, const QString &outputCardId);

// A keyer whose open always fails with reason: a method this program cannot use here, or values
// that cannot be used (valuesWrong: settingsProblem() tells it too).
class RefusingKeyer : public Keyer
{
    Q_OBJECT
public:
    RefusingKeyer(const QString &reason, const QString &description, bool valuesWrong = false,
                  QObject *parent = nullptr)
        : Keyer(parent), m_reason(reason), m_description(description), m_valuesWrong(valuesWrong)
    {
    }
    void open() override;
    void close() override {}
    bool isOpen() const override { return false; }
    void keyUp() override { emit keyUpFailed(m_reason); }
    void keyDown() override {}
    bool check() override { return false; }
    QString settingsProblem() const override { return m_valuesWrong ? m_reason : QString(); }
    QString description() const override { return m_description; }

private:
    QString m_reason;
    QString m_description;
    bool m_valuesWrong;
};
