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

// The methods that need no library: the serial line and VOX. Any other opens with a refusal.
std::unique_ptr<Keyer> makeBasicKeyer(const KeyerSettings &settings, const QString &outputCardId);

// A keyer whose open always fails with reason: a method this program cannot use here.
class RefusingKeyer : public Keyer
{
    Q_OBJECT
public:
    explicit RefusingKeyer(const QString &reason, const QString &description, QObject *parent = nullptr)
        : Keyer(parent), m_reason(reason), m_description(description)
    {
    }
    void open() override;
    void close() override {}
    bool isOpen() const override { return false; }
    void keyUp() override { emit keyUpFailed(m_reason); }
    void keyDown() override {}
    bool check() override { return false; }
    QString description() const override { return m_description; }

private:
    QString m_reason;
    QString m_description;
};
