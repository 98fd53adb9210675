#include "soundcardchoice.h"

int chooseSoundCard(const QList<SoundCardEntry> &cards, const SoundCardChoice &wanted)
{
    if (!wanted.id.isEmpty()) {
        for (int i = 0; i < cards.size(); ++i)
            if (cards.at(i).id == wanted.id)
                return i;
    }
    if (wanted.description.isEmpty())
        return -1;
    int found = -1;
    for (int i = 0; i < cards.size(); ++i) {
        if (cards.at(i).description != wanted.description)
            continue;
        if (found >= 0)
            return -1;
        found = i;
    }
    return found;
}

QString missingSoundCardText(const SoundCardChoice &wanted)
{
    return QStringLiteral("No se encuentra la tarjeta de sonido «%1». Compruebe que esté conectada "
                          "o elija otra.")
        .arg(wanted.shownName());
}

SoundCardItems soundCardItems(const QList<SoundCardEntry> &cards, const SoundCardChoice &stored,
                              const QString &defaultText)
{
    SoundCardItems list;
    list.items.append({defaultText, {}});
    for (const SoundCardEntry &card : cards) {
        int sharing = 0;
        for (const SoundCardEntry &other : cards)
            sharing += other.description == card.description ? 1 : 0;
        QString text = card.description.isEmpty() ? card.id : card.description;
        if (sharing > 1)
            text += QStringLiteral(" (%1)").arg(card.id);
        list.items.append({text, {card.id, card.description}});
    }
    if (stored.isDefault())
        return list;
    const int found = chooseSoundCard(cards, stored);
    if (found >= 0) {
        list.current = found + 1;
        return list;
    }
    list.items.append({QStringLiteral("%1 (no está conectada)").arg(stored.shownName()), stored});
    list.current = int(list.items.size()) - 1;
    return list;
}
