#include "typeface.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QStringView>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace Compose {

namespace {

// Line metrics beyond this are a damaged file's, not a font's.
constexpr qreal maxLineMetric = 1 << 14;

uint firstCodePoint(const QString &text, int from)
{
    const QChar first = text.at(from);
    if (first.isHighSurrogate() && from + 1 < text.size() && text.at(from + 1).isLowSurrogate()) {
        return QChar::surrogateToUcs4(first, text.at(from + 1));
    }
    return first.unicode();
}

int ceiled(qreal value)
{
    return std::isfinite(value) ? int(std::ceil(qBound<qreal>(0, value, maxLineMetric))) : 0;
}

} // namespace

Typeface::Typeface(const Models::Font &font, const MetricsFile::TextMetrics *metrics, const DegradationRange &levels)
{
    QHash<QString, int> indexOf;
    int counts[3] = {0, 0, 0};
    int ascent = 0;
    int descent = 0;
    qreal blankAdvance = -1;
    for (const Models::Character *character : font.getCharacters()) {
        Letter letter;
        letter.text = character->getCharacterValue();
        const Models::Anchors anchors = character->getAnchors();
        const MetricsFile::TextMetrics::Letter *measured = Placement::measured(metrics, letter.text);
        // The blank letter gives the space its advance, whatever degradation levels its pictures have.
        if (letter.text == QLatin1String(" ") && !character->getPictures().isEmpty()) {
            const QImage blank = character->getPictures().first()->getImage();
            blankAdvance = qMax<qreal>(0, Placement::placeLetter(blank.size(), anchors, measured).advance);
        }
        for (const Models::CharacterPicture *picture : character->getPictures()) {
            const float level = picture->getDegradationLevel();
            const QImage image = picture->getImage();
            if (!image.isNull() && level >= levels.lowest && level <= levels.highest) {
                letter.pictures.append(image.convertToFormat(QImage::Format_ARGB32));
            }
        }
        if (letter.text.isEmpty() || letter.pictures.isEmpty()) {
            continue;
        }
        letter.placement = Placement::placeLetter(letter.pictures.first().size(), anchors, measured, metrics ? metrics->ascent : 0);
        ++counts[int(letter.placement.rule)];
        for (const QImage &picture : qAsConst(letter.pictures)) {
            ascent = qMax(ascent, letter.placement.baseline - letter.placement.top);
            descent = qMax(descent, picture.height() - letter.placement.baseline);
        }
        indexOf.insert(letter.text, m_letters.size());
        m_byFirst[firstCodePoint(letter.text, 0)].append(m_letters.size());
        m_letters.append(letter);
    }
    for (QVector<int> &candidates : m_byFirst) {
        std::stable_sort(candidates.begin(), candidates.end(),
                         [this](int a, int b) { return m_letters.at(a).text.size() > m_letters.at(b).text.size(); });
    }
    m_rule = counts[0] >= counts[1] && counts[0] >= counts[2] ? Placement::Rule::Metrics
             : counts[1] >= counts[2]                         ? Placement::Rule::Anchors
                                                              : Placement::Rule::LineBox;
    if (metrics && metrics->spaceAdvance >= 0 && std::isfinite(metrics->spaceAdvance)) {
        m_spaceAdvance = qMin(metrics->spaceAdvance, maxLineMetric);
    } else {
        m_spaceAdvance = blankAdvance;
    }
    if (metrics) {
        m_ascent = ceiled(metrics->ascent);
        m_descent = ceiled(metrics->descent);
        m_lineSpacing = qMax(ceiled(metrics->lineSpacing), 1);
        // The pairs rather than the kerning table: its keys run the two letters together, "ff" + "i" as "f" + "fi".
        for (const MetricsFile::TextMetrics::Pair &pair : metrics->pairs) {
            const int left = indexOf.value(pair.left, -1);
            const int right = indexOf.value(pair.right, -1);
            if (left >= 0 && right >= 0 && std::isfinite(pair.adjustment)) {
                m_kerning.insert(pairKey(left, right), qBound(-maxLineMetric, pair.adjustment, maxLineMetric));
            }
        }
    } else {
        m_ascent = qMin(qMax(ascent, 0), int(maxLineMetric));
        m_descent = qMin(qMax(descent, 0), int(maxLineMetric));
        m_lineSpacing = qMax(m_ascent + m_descent, 1);
    }
}

int Typeface::match(const QString &text, int from) const
{
    const auto candidates = m_byFirst.constFind(firstCodePoint(text, from));
    if (candidates == m_byFirst.cend()) {
        return -1;
    }
    for (const int index : candidates.value()) {
        const QString &letter = m_letters.at(index).text;
        if (from + letter.size() <= text.size() && QStringView(text).mid(from, letter.size()) == QStringView(letter)) {
            return index;
        }
    }
    return -1;
}

} // namespace Compose
