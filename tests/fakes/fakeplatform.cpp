#include "fakeplatform.h"

#include <utility>

bool FakeFileDialog::answer(const QString &form)
{
    shown.append({form, m_fileName, m_filter});
    if (answers.empty())
        return false;
    const std::optional<QString> next = answers.front();
    answers.pop_front();
    if (!next)
        return false;
    m_fileName = *next;
    return true;
}

int FakeMessageBoxes::show(const QString &text, Buttons buttons, Icon icon, const QString &caption,
                           const QString &detail)
{
    shown.append({text, buttons, icon, caption, detail});
    if (whileShown)
        std::exchange(whileShown, nullptr)();
    if (answers.empty())
        return buttons == YesNo ? No : Ok;
    const int next = answers.front();
    answers.pop_front();
    return next;
}

std::optional<quintptr> FakeRegistry::openKey(quint32 root, const QString &keyName)
{
    if (root != LocalMachine || !keys.contains(keyName))
        return std::nullopt;
    m_opened.append(keyName);
    ++openKeys;
    return quintptr(m_opened.size());
}

std::optional<RegistryReader::Value> FakeRegistry::queryValue(quintptr key, const QString &valueName,
                                                              int bufferSize)
{
    const auto &values = keys.value(m_opened.value(int(key) - 1));
    if (!values.contains(valueName))
        return std::nullopt;
    const Value value = values.value(valueName);
    if (value.data.size() > bufferSize)
        return std::nullopt;
    return value;
}

void FakeRegistry::closeKey(quintptr)
{
    --openKeys;
}

bool FakeLauncher::start(const QString &path)
{
    if (!startable.contains(path))
        return false;
    started.append(path);
    return true;
}
