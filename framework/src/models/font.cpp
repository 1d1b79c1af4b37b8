#include "models/font.h"
#include "models/character.h"

namespace Models {

Font::Font()
    : m_name(QStringLiteral("no_name"))
{
}

Font::Font(const QString &name)
    : m_name(name)
{
}

Font::~Font()
{
    qDeleteAll(m_characters);
    m_characters.clear();
    m_held.clear();
}

QString Font::getName() const
{
    return m_name;
}

void Font::setName(const QString &name)
{
    m_name = name;
}

bool Font::hasCharacter(const Character *character) const
{
    return m_held.contains(character);
}

bool Font::addCharacter(Character *character)
{
    if (hasCharacter(character)) {
        return false;
    }
    const auto it = m_characters.find(character->getCharacterValue());
    if (it != m_characters.end()) {
        m_held.remove(it.value());
        delete it.value();
        it.value() = character;
    } else {
        m_characters.insert(character->getCharacterValue(), character);
    }
    m_held.insert(character);
    return true;
}

void Font::addCharacterPicture(const QString &value, CharacterPicture *picture)
{
    auto it = m_characters.find(value);
    if (it == m_characters.end()) {
        it = m_characters.insert(value, new Character(value));
        m_held.insert(it.value());
    }
    it.value()->addPicture(picture);
}

Character *Font::getCharacter(const QString &value) const
{
    return m_characters.value(value, nullptr);
}

const QMap<QString, Character *> &Font::getCharacters() const
{
    return m_characters;
}

} // namespace Models
