#pragma once

#include <QString>

// Where a user's station is found on the session bus.
namespace BusNames {
inline const QString service = QStringLiteral("org.pregonal.Pregonal");
inline const QString path = QStringLiteral("/org/pregonal/Pregonal");
inline const QString interface = QStringLiteral("org.pregonal.Estacion");
} // namespace BusNames
