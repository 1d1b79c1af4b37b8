#ifndef MODELS_FONT_H
#define MODELS_FONT_H

#include "quillmeremakefont_export.h"

#include <QMap>
#include <QSet>
#include <QString>

namespace Models {

class Character;
class CharacterPicture;

/** A named bitmap font: letters keyed by their value, in QString order. */
class QMF_EXPORT Font
{
public:
    /** Named "no_name", without letters. */
    Font();
    explicit Font(const QString &name);
    /** Deletes every letter, and with them their pictures. */
    ~Font();

    QString getName() const;
    void setName(const QString &name);

    /** True when this very object is held, under any key. */
    bool hasCharacter(const Character *character) const;
    /**
     * Takes ownership and stores the letter under its current value, deleting a
     * different letter held under that value. Returns false, and changes nothing,
     * only when this very object is already held; the font keeps owning it then.
     */
    bool addCharacter(Character *character);
    /**
     * Takes ownership of the picture and adds it to the letter held under value,
     * creating that letter with default anchors first. A picture the letter
     * already holds is not added twice.
     */
    void addCharacterPicture(const QString &value, CharacterPicture *picture);
    /** The letter held under exactly this key, or null; never inserts. */
    Character *getCharacter(const QString &value) const;
    /** All letters in key order. */
    const QMap<QString, Character *> &getCharacters() const;

private:
    Q_DISABLE_COPY(Font)

    QString m_name;
    QMap<QString, Character *> m_characters;
    // The same letters by identity: a letter's value may have changed since it was added, so its
    // key cannot tell whether this very object is held, and a scan of the map makes adding quadratic.
    QSet<const Character *> m_held;
};

} // namespace Models

#endif // MODELS_FONT_H
