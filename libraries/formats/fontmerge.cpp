#include "fontmerge.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

int mergeFont(Models::Font *target, const Models::Font &source)
{
    int added = 0;
    for (const Models::Character *letter : source.getCharacters()) {
        Models::Character *merged = target->getCharacter(letter->getCharacterValue());
        if (!merged) {
            merged = new Models::Character(letter->getCharacterValue(), letter->getUpLine(), letter->getBaseLine(),
                                           letter->getLeftLine(), letter->getRightLine());
            target->addCharacter(merged);
        }
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            merged->addPicture(new Models::CharacterPicture(picture->getImage(), merged->pictureCount(),
                                                            picture->getDegradationLevel()));
            ++added;
        }
    }
    return added;
}
