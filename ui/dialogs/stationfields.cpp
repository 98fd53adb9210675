#include "stationfields.h"

#include "layout.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace stationfields {
QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &text, const QString &placeholder)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    edit->setMinimumWidth(twips(3400));
    return edit;
}

QComboBox *cardList(QWidget *parent, const char *name, const QList<SoundCardEntry> &cards,
                    const SoundCardChoice &stored)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    const SoundCardItems list = soundCardItems(cards, stored, QStringLiteral("Predeterminada del sistema"));
    for (const SoundCardItem &item : list.items)
        box->addItem(item.text, QStringList{item.choice.id, item.choice.description});
    box->setCurrentIndex(list.current);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumContentsLength(28);
    return box;
}

SoundCardChoice chosenCard(const QComboBox *box)
{
    const QStringList data = box->currentData().toStringList();
    return data.size() == 2 ? SoundCardChoice{data.at(0), data.at(1)} : SoundCardChoice{};
}

QSpinBox *spinBox(QWidget *parent, const char *name, int min, int max, int step, int value,
                  const QString &suffix)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(min, max);
    spin->setSingleStep(step);
    spin->setSuffix(suffix);
    spin->setValue(value);
    spin->setAlignment(Qt::AlignRight);
    spin->setMinimumWidth(twips(1700));
    return spin;
}

QGroupBox *group(QWidget *parent, const QString &title, QFormLayout *&form)
{
    auto *box = new QGroupBox(title, parent);
    form = new QFormLayout(box);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    return box;
}

QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}
} // namespace stationfields
