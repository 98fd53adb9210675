#pragma once

#include "keyer.h"
#include "keyersettings.h"

#include <memory>

// The keyer of every method this program has, as the main window's KeyerMaker: null for the
// serial line, which the window owns.
std::unique_ptr<Keyer> makeKeyer(const KeyerSettings &settings, const QString &outputCardId);
