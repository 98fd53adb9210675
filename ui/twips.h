#pragma once

#include <QtMath>

// Layouts are drawn in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch. Qt scales
// device-independent pixels for other resolutions itself.
constexpr int twips(int value)
{
    return (value * 2 + 15) / 30;
}
