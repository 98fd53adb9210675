#pragma once

#include "soundcardchoice.h"

#include <QList>
#include <QString>

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

// The station dialog's fields as it lays them out: names, widths and lists of sound cards.
namespace stationfields {
QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &text, const QString &placeholder);
// The cards, the stored one chosen; each item's data is its id and description.
QComboBox *cardList(QWidget *parent, const char *name, const QList<SoundCardEntry> &cards,
                    const SoundCardChoice &stored);
SoundCardChoice chosenCard(const QComboBox *box);
QSpinBox *spinBox(QWidget *parent, const char *name, int min, int max, int step, int value,
                  const QString &suffix);
QGroupBox *group(QWidget *parent, const QString &title, QFormLayout *&form);
QLabel *buddyLabel(const QString &text, QWidget *buddy);
} // namespace stationfields
