#pragma once

#include <QIcon>
#include <QString>

// The red telephone that every window of the program carries, at 16 and 32 pixels.
QIcon programIcon();
// A toolbar picture by name: nuevo, abrir, bucle, unavez, stop, opciones.
QIcon toolbarPicture(const QString &name);
// The About box background drawing, as an SVG resource path.
QString aboutPicturePath();
