// Elsewhere than Windows the system registry is the INI stand-in; systemregistry_win.cpp has the
// real one.
#include "systemregistry.h"

std::unique_ptr<RegistryReader> makeSystemRegistry()
{
    return std::make_unique<IniRegistry>(IniRegistry::systemPath());
}
