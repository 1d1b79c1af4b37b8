#ifndef MODELS_CHARACTER_H
#define MODELS_CHARACTER_H

#include "quillmeremakefont_export.h"

#include <QList>
#include <QString>

namespace Models {

class CharacterPicture;

/** A letter's four anchor lines. */
struct Anchors {
    double upLine;
    double baseLine;
    double leftLine;
    double rightLine;
};

constexpr bool operator==(const Anchors &a, const Anchors &b)
{
    return a.upLine == b.upLine && a.baseLine == b.baseLine && a.leftLine == b.leftLine && a.rightLine == b.rightLine;
}

/** The anchors of a letter that nothing placed: the edges of its image, as 0 and 100. */
constexpr Anchors defaultAnchors = {0.0, 100.0, 0.0, 100.0};

/** One letter: its value, four anchor lines and the pictures it owns. */
class QMF_EXPORT Character
{
public:
    /** Value "unassigned_name" with defaultAnchors. */
    Character();
    /** The given value with defaultAnchors. */
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
    /** The picture added first, or null when there is none. */
    CharacterPicture *firstPicture() const;
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
    Anchors getAnchors() const { return {m_upLine, m_baseLine, m_leftLine, m_rightLine}; }
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
