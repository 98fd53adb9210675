#pragma once

#include "deviceerror.h"
#include "keyer.h"

#include <QStringList>

#include <memory>

// A keyer that records its calls into the shared log and answers a key-up as told: at once, when
// the test says (answer()), or with a refusal.
class FakeKeyer : public Keyer
{
    Q_OBJECT
public:
    enum class Answer { AtOnce, Later, Refuse };

    explicit FakeKeyer(std::shared_ptr<QStringList> sharedLog) : log(std::move(sharedLog)) {}
    ~FakeKeyer() override
    {
        if (destroyedKeyed)
            *destroyedKeyed = keyed || m_open;
    }

    void open() override
    {
        if (failOpen)
            throw DeviceError(QStringLiteral("permiso denegado"));
        log->append(QStringLiteral("keyer open"));
        m_open = true;
    }
    void close() override
    {
        log->append(QStringLiteral("keyer close"));
        keyed = false;
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    void keyUp() override
    {
        log->append(QStringLiteral("keyUp"));
        if (answerWith == Answer::Refuse)
            return emit keyUpFailed(QStringLiteral("el equipo no responde"));
        pending = true;
        if (answerWith == Answer::AtOnce)
            answer();
    }
    // The device confirms the key-up it was asked for.
    void answer()
    {
        pending = false;
        keyed = m_open;
        emit keyedUp();
    }
    void keyDown() override
    {
        log->append(QStringLiteral("keyDown"));
        keyed = false;
    }
    bool check() override { return m_open && !vanished; }
    QString description() const override { return QStringLiteral("el equipo falso"); }

    std::shared_ptr<QStringList> log;
    Answer answerWith = Answer::AtOnce;
    bool failOpen = false;
    bool vanished = false;
    bool pending = false;
    bool keyed = false;
    bool *destroyedKeyed = nullptr;

private:
    bool m_open = false;
};
