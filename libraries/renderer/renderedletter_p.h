#ifndef RENDEREDLETTER_P_H
#define RENDEREDLETTER_P_H

#include "models/character.h"
#include "models/characterpicture.h"

#include <QImage>
#include <QString>

// A letter with the default anchors whose one picture, id 0, is image.
inline Models::Character *newLetter(const QString &value, const QImage &image)
{
    auto *letter = new Models::Character(value);
    letter->addPicture(new Models::CharacterPicture(image, 0, 0.0f));
    return letter;
}

#endif // RENDEREDLETTER_P_H
