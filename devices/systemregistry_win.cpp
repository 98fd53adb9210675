// The Windows registry. Compiles in principle; it is not built or tested on the machines we
// build on (Debian), where systemregistry.cpp gives the INI stand-in.
#include "systemregistry.h"

#include <windows.h>

namespace {
// The Windows registry through the single-byte functions of advapi32.
class WindowsRegistry : public RegistryReader
{
public:
    std::optional<quintptr> openKey(quint32 root, const QString &keyName) override
    {
        HKEY key = nullptr;
        const QByteArray name = keyName.toLocal8Bit();
        if (RegOpenKeyExA(reinterpret_cast<HKEY>(quintptr(root)), name.constData(), 0, 0x2003F, &key) != 0)
            return std::nullopt;
        return reinterpret_cast<quintptr>(key);
    }
    std::optional<Value> queryValue(quintptr key, const QString &valueName, int bufferSize) override
    {
        QByteArray buffer(bufferSize, '\0');
        DWORD type = 0;
        DWORD size = DWORD(bufferSize);
        const QByteArray name = valueName.toLocal8Bit();
        if (RegQueryValueExA(reinterpret_cast<HKEY>(key), name.constData(), nullptr, &type,
                             reinterpret_cast<LPBYTE>(buffer.data()), &size) != 0)
            return std::nullopt;
        return Value{quint32(type), buffer.left(int(size))};
    }
    void closeKey(quintptr key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};
} // namespace

std::unique_ptr<RegistryReader> makeSystemRegistry()
{
    return std::make_unique<WindowsRegistry>();
}
