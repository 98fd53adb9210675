#pragma once

#include "programvalues.h"

// The start-up module: owns the program-wide values and starts the main window.
namespace Module1 {
extern ProgramValues values;
// Loads and shows the main window and runs the program until it is unloaded.
int Main(int argc, char *argv[]);
} // namespace Module1
