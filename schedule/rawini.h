#pragma once

#include <QString>

// The text after '=' of the key in the group of an INI file, exactly as written (quotes, commas
// and semicolons included); null when the file, the group or the key is not there. The last one
// wins where a key is written twice.
QString rawIniValue(const QString &path, const QString &group, const QString &key);
