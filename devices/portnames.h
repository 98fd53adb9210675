#pragma once

#include <QString>

class SettingsStore;

// The device a port number opens: "COMn" under Windows; elsewhere /dev/ttyS<n-1>, unless the
// store names another device for that number in group "puertos", key "COMn" (surrounding blanks
// ignored). Gives an empty name for numbers below 1. Only builds the name; never opens anything.
QString serialDeviceForPort(const SettingsStore &store, int port);
