#include "markglyphs_p.h"

#include "glyphcanvas_p.h"

#include <QChar>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QVector>

namespace {

bool isMark(uint character)
{
    switch (QChar::category(character)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

} // namespace

MarkGlyphs::MarkGlyphs(const QFont &font, int dpi)
    : m_font(font)
    , m_dpi(dpi)
{
}

bool MarkGlyphs::beginsWithMark(const QString &letter)
{
    if (letter.isEmpty()) {
        return false;
    }
    const uint first = letter.at(0).isHighSurrogate() && letter.size() > 1 ? QChar::surrogateToUcs4(letter.at(0), letter.at(1))
                                                                            : letter.at(0).unicode();
    return isMark(first);
}

MarkRun MarkGlyphs::run(const QString &letter)
{
    MarkRun mark;
    if (!beginsWithMark(letter)) {
        return mark;
    }
    if (!m_loaded) {
        // Resolved on an image as the painter's, so that the glyphs come at the size the painter draws text.
        const QImage canvas = glyphImage(1, 1, m_dpi);
        m_raw = QRawFont::fromFont(QFont(m_font, &canvas));
        m_loaded = true;
    }
    const QVector<uint> characters = letter.toUcs4();
    const QVector<quint32> indexes = m_raw.isValid() ? m_raw.glyphIndexesForString(letter) : QVector<quint32>();
    if (indexes.size() != characters.size() || indexes.contains(quint32(0))) {
        return mark;
    }
    const QVector<QPointF> advances = m_raw.advancesForGlyphIndexes(indexes);
    QVector<QPointF> positions;
    positions.reserve(indexes.size());
    qreal x = 0;
    for (int i = 0; i < indexes.size(); ++i) {
        positions.append(QPointF(x, 0));
        const QChar::Category category = QChar::category(characters.at(i));
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing) {
            x += advances.value(i).x();
        }
        mark.box |= m_raw.boundingRect(indexes.at(i)).translated(positions.last());
    }
    mark.glyphs.setRawFont(m_raw);
    mark.glyphs.setGlyphIndexes(indexes);
    mark.glyphs.setPositions(positions);
    mark.advance = x;
    return mark;
}

void drawLetter(QPainter &painter, const QPoint &origin, const QString &letter, const MarkRun &mark)
{
    if (mark.isEmpty()) {
        painter.drawText(origin, letter);
    } else {
        painter.drawGlyphRun(origin, mark.glyphs);
    }
}

QRect outlineBox(const QFontMetrics &metrics, const QString &letter, const MarkRun &mark)
{
    if (!mark.isEmpty()) {
        return mark.box.toAlignedRect();
    }
    return letter.size() == 1 && metrics.inFont(letter.at(0)) ? metrics.boundingRect(letter.at(0)) : metrics.boundingRect(letter);
}
