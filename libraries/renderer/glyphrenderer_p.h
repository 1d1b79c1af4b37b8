#ifndef GLYPHRENDERER_P_H
#define GLYPHRENDERER_P_H

#include <QStringList>
#include <QVector>

QT_BEGIN_NAMESPACE
class QFont;
QT_END_NAMESPACE

namespace Models {
class Font;
}

/**
 * renderGlyphs of glyphrenderer.h. When penColumns is given it receives, per letter, the column the pen stood
 * at: 0, but for a letter that begins with a combining mark, whose image spans its ink as well as its advance.
 */
bool drawLineBoxes(const QFont &font, const QStringList &letters, int dpi, Models::Font *docFont,
                   QStringList *emptyLetters, QStringList *clippedLetters, QVector<int> *penColumns);

#endif // GLYPHRENDERER_P_H
