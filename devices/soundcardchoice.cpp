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
