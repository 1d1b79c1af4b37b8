#include "models/character.h"
#include "models/characterpicture.h"

#include <QRandomGenerator>
#include <QtGlobal>

namespace Models {

Character::Character()
    : Character(QStringLiteral("unassigned_name"))
{
}

Character::Character(const QString &value)
    : Character(value, defaultAnchors.upLine, defaultAnchors.baseLine, defaultAnchors.leftLine, defaultAnchors.rightLine)
{
}

Character::Character(const QString &value, double upLine, double baseLine, double leftLine, double rightLine)
    : m_value(value)
    , m_baseLine(baseLine)
    , m_upLine(upLine)
    , m_leftLine(leftLine)
    , m_rightLine(rightLine)
{
}

Character::~Character()
{
    qDeleteAll(m_pictures);
    m_pictures.clear();
}

void Character::addPicture(CharacterPicture *picture)
{
    if (m_pictures.contains(picture)) {
        return;
    }
    m_pictures.append(picture);
}

const QList<CharacterPicture *> &Character::getPictures() const
{
    return m_pictures;
}

int Character::pictureCount() const
{
    return m_pictures.size();
}

CharacterPicture *Character::firstPicture() const
{
    return m_pictures.isEmpty() ? nullptr : m_pictures.first();
}

CharacterPicture *Character::getRandomPicture() const
{
    if (m_pictures.isEmpty()) {
        return nullptr;
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // qrand() rather than QRandomGenerator: callers seed it with qsrand() to replay a choice.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const int draw = qrand();
#pragma GCC diagnostic pop
    return m_pictures.at(draw % m_pictures.size());
#else
    // Qt 6 has no qrand(), and so no qsrand() to replay a choice with.
    return m_pictures.at(QRandomGenerator::global()->bounded(int(m_pictures.size())));
#endif
}

CharacterPicture *Character::getPictureById(int id) const
{
    for (CharacterPicture *picture : m_pictures) {
        if (picture->getId() == id) {
            return picture;
        }
    }
    return nullptr;
}

QString Character::getCharacterValue() const
{
    return m_value;
}

void Character::setCharacterValue(const QString &value)
{
    m_value = value;
}

double Character::getUpLine() const
{
    return m_upLine;
}

double Character::getBaseLine() const
{
    return m_baseLine;
}

double Character::getLeftLine() const
{
    return m_leftLine;
}

double Character::getRightLine() const
{
    return m_rightLine;
}

void Character::setUpLine(double upLine)
{
    m_upLine = upLine;
}

void Character::setBaseLine(double baseLine)
{
    m_baseLine = baseLine;
}

void Character::setLeftLine(double leftLine)
{
    m_leftLine = leftLine;
}

void Character::setRightLine(double rightLine)
{
    m_rightLine = rightLine;
}

void Character::setAnchor(double upLine, double baseLine, double leftLine, double rightLine)
{
    m_upLine = upLine;
    m_baseLine = baseLine;
    m_leftLine = leftLine;
    m_rightLine = rightLine;
}

} // namespace Models
