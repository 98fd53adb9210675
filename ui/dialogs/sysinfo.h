#pragma once

#include "platform.h"

#include <QString>

#include <stdexcept>

// A registry value that cannot be read as text (one of no bytes).
class RegistryValueError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline const QString kSysInfoValue = QStringLiteral("PATH");
inline const QString kSysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString kSysInfoLocationValue = QStringLiteral("MSINFO");
inline const QString kSysInfoProgram = QStringLiteral("\\MSINFO32.EXE");
inline const QString kSysInfoUnavailable =
    QStringLiteral("La información del sistema no está disponible en este momento");

// Reads value SubKeyRef of key KeyName under KeyRoot into KeyVal: a string as its text, a 32-bit
// number as decimal text; other types leave KeyVal alone. False (KeyVal emptied) when the key or
// the value cannot be read; throws RegistryValueError for a value of no bytes. The key is closed
// whenever it was opened.
bool GetKeyValue(RegistryReader &registry, quint32 KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                 QString &KeyVal);

// Finds the system information tool in the registry and starts it; when it cannot, says so in a
// message box and returns false.
bool StartSysInfo(RegistryReader &registry, ProgramLauncher &launcher, MessageBoxes &boxes);
