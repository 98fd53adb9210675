#pragma once

#include <QString>

// The cause of a failed file operation, in words the operator reads: errno values in Spanish,
// never the system's English text.
QString fileErrorText(int errnoValue);
