#pragma once

#include <QFont>
#include <QPushButton>
#include <QWidget>

// Layouts are drawn in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch. Qt scales
// device-independent pixels for other resolutions itself.
constexpr int twips(int value)
{
    return (value * 2 + 15) / 30;
}

// Places a widget at left, top, width, height given in twips.
inline void placeInTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

// The windows' own font; where the desktop lacks it, Qt falls back to its sans serif.
inline QFont msSansSerif(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A dialog's command button as the dialogs have them: their font, at least 1815 x 495 twips.
inline QPushButton *dialogButton(QWidget *parent, const QString &text, const char *name)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(msSansSerif(9.75));
    button->setMinimumSize(twips(1815), twips(495));
    return button;
}
