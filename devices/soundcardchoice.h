#pragma once

#include <QList>
#include <QString>

// The sound card the operator chose for messages or for recording: the sound server's stable
// name for it (its sink or source name) and its description as last seen. Both empty: the
// desktop's default, whatever it is at the time.
struct SoundCardChoice
{
    QString id;
    QString description;

    bool isDefault() const { return id.isEmpty() && description.isEmpty(); }
    // How the card is named to the operator: its description, or its id when that is unknown.
    QString shownName() const { return description.isEmpty() ? id : description; }
};

// One card the sound server has now.
struct SoundCardEntry
{
    QString id;
    QString description;
};

// Which of cards is the chosen one: the card with its id; failing that (a card's id changes with
// its profile, or its number with the order of plugging), the one card with its description.
// -1 when none fits, or when the id is gone and the description fits more than one card (two
// identical cards: either could be the wrong transmitter). Not meant for the default choice.
int chooseSoundCard(const QList<SoundCardEntry> &cards, const SoundCardChoice &wanted);

// Why a play or a recording cannot start on the chosen card, for the operator.
QString missingSoundCardText(const SoundCardChoice &wanted);

// One entry of a list the operator chooses a card from.
struct SoundCardItem
{
    QString text;
    SoundCardChoice choice;
};

// The list to choose from: the desktop's default first, as defaultText, then each card the server
// has now by its description (with its id when two share it), and the stored choice when it is
// not there now, marked so, so that accepting the list never changes it silently. current is the
// entry that stands for stored.
struct SoundCardItems
{
    QList<SoundCardItem> items;
    int current = 0;
};
SoundCardItems soundCardItems(const QList<SoundCardEntry> &cards, const SoundCardChoice &stored,
                              const QString &defaultText);
