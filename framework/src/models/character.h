#ifndef MODELS_CHARACTER_H
#define MODELS_CHARACTER_H

#include "quillmeremakefont_export.h"

#include <QList>
#include <QString>

namespace Models {

class CharacterPicture;

/** One letter: its value, four anchor lines and the pictures it owns. */
class QMF_EXPORT Character
{
public:
    /** Value "unassigned_name", anchors up 0, base 100, left 0, right 100. */
    Character();
    /** The given value with the default anchors. */
    explicit Character(const QString &value);
    /** Anchors in the order up, base, left, right. */
    Character(const QString &value, double upLine, double baseLine, double leftLine, double rightLine);
    /** Deletes every picture. */
    ~Character();

    /** Appends and takes ownership; a pointer already in the list is left as it is. */
    void addPicture(CharacterPicture *picture);
    /** The pictures in the order in which they were added. */
    const QList<CharacterPicture *> &getPictures() const;
    /** The number of pictures. */
    int pictureCount() const;
    /** A picture chosen with qrand() (QRandomGenerator::global() under Qt 6), or null when there is none. */
    CharacterPicture *getRandomPicture() const;
    /** The first picture with this id, or null. */
    CharacterPicture *getPictureById(int id) const;

    /** The text the letter stands for. */
    QString getCharacterValue() const;
    /** Changes the value only; a Font holding this letter keeps its old key. */
    void setCharacterValue(const QString &value);

    double getUpLine() const;
    double getBaseLine() const;
    double getLeftLine() const;
    double getRightLine() const;
    void setUpLine(double upLine);
    void setBaseLine(double baseLine);
    void setLeftLine(double leftLine);
    void setRightLine(double rightLine);
    /** Sets all four anchors, in the constructor's order. */
    void setAnchor(double upLine, double baseLine, double leftLine, double rightLine);

private:
    Q_DISABLE_COPY(Character)

    QList<CharacterPicture *> m_pictures;
    QString m_value;
    double m_baseLine;
    double m_upLine;
    double m_leftLine;
    double m_rightLine;
};

} // namespace Models

#endif // MODELS_CHARACTER_H
