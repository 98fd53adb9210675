#include "sysinfo.h"

namespace {
constexpr int kBufferSize = 1024;

// Closes an opened key on every way out, a thrown error included.
class OpenKey
{
public:
    OpenKey(RegistryReader &registry, quintptr key) : m_registry(registry), m_key(key) {}
    ~OpenKey() { m_registry.closeKey(m_key); }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;

private:
    RegistryReader &m_registry;
    quintptr m_key;
};

// "&h" followed by hex digits gives the number in decimal; anything else stays as it is.
QString generalFormat(const QString &text)
{
    if (!text.startsWith(QLatin1String("&h"), Qt::CaseInsensitive))
        return text;
    bool ok = false;
    const qulonglong number = text.mid(2).toULongLong(&ok, 16);
    return ok ? QString::number(number) : text;
}
} // namespace

bool GetKeyValue(RegistryReader &registry, quint32 KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                 QString &KeyVal)
{
    const std::optional<quintptr> key = registry.openKey(KeyRoot, KeyName);
    if (!key) {
        KeyVal.clear();
        return false;
    }
    OpenKey guard(registry, *key);

    const std::optional<RegistryReader::Value> value = registry.queryValue(*key, SubKeyRef, kBufferSize);
    if (!value) {
        KeyVal.clear();
        return false;
    }
    const QByteArray &data = value->data;
    if (data.isEmpty())
        throw RegistryValueError("registry value of no bytes");
    // Strings usually come with their terminating zero.
    const QByteArray kept = data.endsWith('\0') ? data.left(data.size() - 1) : data;

    switch (value->type) {
    case RegistryReader::String:
        KeyVal = QString::fromLocal8Bit(kept);
        break;
    case RegistryReader::DWord:
        for (qsizetype i = kept.size() - 1; i >= 0; --i)
            KeyVal += QString::number(quint8(kept.at(i)), 16).toUpper();
        KeyVal = generalFormat(QStringLiteral("&h") + KeyVal);
        break;
    default:
        break;
    }
    return true;
}

bool StartSysInfo(RegistryReader &registry, ProgramLauncher &launcher, MessageBoxes &boxes)
{
    try {
        QString path;
        bool found = GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoKey, kSysInfoValue, path);
        if (!found && GetKeyValue(registry, RegistryReader::LocalMachine, kSysInfoLocationKey,
                                  kSysInfoLocationValue, path)) {
            // The folder counts only when the tool is there.
            path += kSysInfoProgram;
            found = launcher.fileExists(path);
        }
        if (found && launcher.start(path))
            return true;
    } catch (...) {
        // Any failure on the way ends in the message below.
    }
    boxes.show(kSysInfoUnavailable, MessageBoxes::OkOnly, MessageBoxes::NoIcon, QStringLiteral("Pregonal"));
    return false;
}
