#include "scanfont.h"

#include "baseline.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"


#include <algorithm>
#include <cmath>

namespace Scans {

namespace {

template <typename T>
T median(QVector<T> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values.at(values.size() / 2);
}

// Outline points lie on pixel edges, so the box ends where the largest coordinate is.
QRect outlineBox(const QPolygon &outline)
{
    int left = outline.first().x();
    int right = left;
    int top = outline.first().y();
    int bottom = top;
    for (const QPoint &point : outline) {
        left = qMin(left, point.x());
        right = qMax(right, point.x());
        top = qMin(top, point.y());
        bottom = qMax(bottom, point.y());
    }
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

bool isPercentAnchors(const Models::Character &letter)
{
    return letter.getUpLine() == 0 && letter.getBaseLine() == 100 && letter.getLeftLine() == 0 && letter.getRightLine() == 100;
}

// The glyph cut from its page, placed by its line.
struct Cut {
    const ScanGlyph *glyph;
    QRect box;
    QImage alpha;
    int bottom; // page row under the ink, or under the box without ink
};

// A line's baseline at x: the file's own, or the fit through its glyphs' ink bottoms.
struct LineBaseline {
    const QPolygon *given = nullptr;
    LineFit fit;
    double at(double x) const { return given ? polylineAt(*given, x) : fit.at(x); }
};

LineFit estimateBaseline(const QVector<const Cut *> &cuts)
{
    QVector<QPointF> standing;
    QVector<QPointF> all;
    for (const Cut *cut : cuts) {
        const QPointF point(cut->box.left() + cut->box.width() / 2.0, cut->bottom);
        all.append(point);
        if (standsOnBaseline(cut->glyph->text)) {
            standing.append(point);
        }
    }
    return fitBaseline(standing.isEmpty() ? all : standing);
}

} // namespace

ScanFont::ScanFont(const ScanSettings &settings)
    : m_settings(settings)
{
}

void ScanFont::addPicture(const QString &text, const Picture &picture, int width)
{
    Letter &letter = m_letters[text];
    ++letter.seen;
    letter.widths.append(width);
    if (m_settings.maxPictures <= 0 || letter.pictures.size() < m_settings.maxPictures) {
        letter.pictures.append(picture);
    }
}

void ScanFont::addFont(const Models::Font &font)
{
    for (const Models::Character *character : font.getCharacters()) {
        Letter &letter = m_letters[character->getCharacterValue()];
        const bool percent = isPercentAnchors(*character);
        for (const Models::CharacterPicture *source : character->getPictures()) {
            const QImage image = source->getImage();
            if (image.isNull()) {
                continue;
            }
            Picture picture;
            picture.alpha = image.convertToFormat(QImage::Format_ARGB32);
            picture.baseline = percent ? image.height() : int(std::lround(character->getBaseLine()));
            picture.origin = percent ? 0 : int(std::lround(character->getLeftLine()));
            picture.degradation = source->getDegradationLevel();
            letter.pictures.append(picture);
            letter.widths.append(image.width());
            ++letter.seen;
        }
        letter.givenAdvance = percent ? -1 : character->getRightLine() - character->getLeftLine();
    }
}

/*
 * Cuts, then places by line: the baselines need the ink of all of a line's glyphs first, and the
 * advances and word spaces the glyph that follows. One piece so that each glyph is cut once.
 */
PageCounts ScanFont::addPage(const ScanPage &page, const QImage &grey)
{
    PageCounts counts;
    QVector<Cut> cuts;
    cuts.reserve(page.glyphs.size());
    for (const ScanGlyph &glyph : page.glyphs) {
        const QRect whole = outlineBox(glyph.outline);
        const QRect box = whole & grey.rect();
        if (whole.isEmpty()) {
            ++counts.degenerate;
            counts.passedOver.append(QStringLiteral("\"%1\" at %2,%3: an outline without area").arg(glyph.text).arg(whole.left()).arg(whole.top()));
            continue;
        }
        if (box.isEmpty()) {
            ++counts.outside;
            counts.passedOver.append(QStringLiteral("\"%1\" at %2,%3: outside the image").arg(glyph.text).arg(whole.left()).arg(whole.top()));
            continue;
        }
        const QImage alpha = cutGlyph(grey, glyph.outline, box, m_settings.mode);
        const QImage mask = outlineMask(glyph.outline, box);
        if (alpha.isNull() || *std::max_element(mask.constBits(), mask.constBits() + mask.sizeInBytes()) == 0) {
            ++counts.degenerate;
            counts.passedOver.append(QStringLiteral("\"%1\" at %2,%3: an outline without area").arg(glyph.text).arg(whole.left()).arg(whole.top()));
            continue;
        }
        if (box != whole) {
            ++counts.clipped;
        }
        const int bottom = inkBottom(alpha);
        cuts.append({&glyph, box, alpha, box.top() + (bottom >= 0 ? bottom : box.height())});
    }

    QVector<QVector<const Cut *>> byLine(page.lines.size() + 1);
    for (const Cut &cut : qAsConst(cuts)) {
        byLine[cut.glyph->line >= 0 && cut.glyph->line < page.lines.size() ? cut.glyph->line : page.lines.size()].append(&cut);
    }
    QVector<LineBaseline> baselines(byLine.size());
    double previousBaseline = -1;
    for (int line = 0; line < byLine.size(); ++line) {
        const QVector<const Cut *> &lineCuts = byLine.at(line);
        if (lineCuts.isEmpty()) {
            continue;
        }
        const bool given = line < page.lines.size() && !page.lines.at(line).baseline.isEmpty();
        if (given) {
            baselines[line].given = &page.lines.at(line).baseline;
            ++counts.baselinesGiven;
        } else {
            baselines[line].fit = estimateBaseline(lineCuts);
            ++counts.baselinesEstimated;
        }
        if (line == page.lines.size()) {
            continue; // glyphs outside any line have no line height to measure
        }
        // The line's height around its baseline, at its middle.
        QRect extent = page.lines.at(line).outline.isEmpty() ? QRect() : outlineBox(page.lines.at(line).outline);
        for (const Cut *cut : lineCuts) {
            extent |= cut->box;
        }
        const double base = baselines.at(line).at(extent.center().x());
        m_ascents.append(int(std::lround(base - extent.top())));
        m_descents.append(int(std::lround(extent.bottom() + 1 - base)));
        const int height = extent.height();
        if (previousBaseline >= 0 && base > previousBaseline && base - previousBaseline < 3 * height) {
            m_lineSpacings.append(int(std::lround(base - previousBaseline)));
        }
        previousBaseline = base;
    }

    for (int i = 0; i < cuts.size(); ++i) {
        const Cut &cut = cuts.at(i);
        const ScanGlyph &glyph = *cut.glyph;
        const int line = glyph.line >= 0 && glyph.line < page.lines.size() ? glyph.line : page.lines.size();
        const double base = baselines.at(line).at(cut.box.left() + cut.box.width() / 2.0);
        Picture picture;
        picture.alpha = cut.alpha;
        picture.baseline = int(std::lround(base)) - cut.box.top();
        picture.degradation = m_settings.degradation;
        const bool keep = m_settings.maxPictures <= 0 || m_letters.value(glyph.text).pictures.size() < m_settings.maxPictures;
        addPicture(glyph.text, picture, cut.box.width());
        ++counts.glyphs;
        counts.kept += keep ? 1 : 0;
        if (i + 1 < cuts.size() && cuts.at(i + 1).glyph->line == glyph.line && glyph.line >= 0) {
            const int distance = cuts.at(i + 1).box.left() - cut.box.left();
            if (glyph.word >= 0 && cuts.at(i + 1).glyph->word == glyph.word) {
                if (distance > 0) {
                    m_letters[glyph.text].advances.append(distance);
                }
            } else if (distance > 0) {
                m_spaces.append({distance, glyph.text});
            }
        }
    }
    return counts;
}

qreal ScanFont::advanceOf(const Letter &letter) const
{
    if (letter.givenAdvance >= 0) {
        return letter.givenAdvance;
    }
    if (!letter.advances.isEmpty()) {
        return median(letter.advances);
    }
    // A letter never followed within a word (a word's last letter, punctuation): its median width.
    return letter.widths.isEmpty() ? 0 : median(letter.widths);
}

int ScanFont::ascent() const
{
    return m_ascents.isEmpty() ? 0 : median(m_ascents);
}

ScanFont::Canvas ScanFont::canvasOf(const Letter &letter) const
{
    int above = 0;
    int below = 0;
    int left = 0;
    int right = 0;
    for (const Picture &picture : letter.pictures) {
        above = qMax(above, picture.baseline);
        below = qMax(below, picture.alpha.height() - picture.baseline);
        left = qMax(left, picture.origin);
        right = qMax(right, picture.alpha.width() - picture.origin);
    }
    return {left + right, above + below, above, left};
}

Models::Font *ScanFont::font(const QString &name) const
{
    auto *font = new Models::Font(name);
    const int up = ascent();
    for (auto it = m_letters.constBegin(); it != m_letters.constEnd(); ++it) {
        const Letter &letter = it.value();
        if (letter.pictures.isEmpty()) {
            continue;
        }
        const Canvas canvas = canvasOf(letter);
        auto *character = new Models::Character(it.key(), canvas.baseLine - up, canvas.baseLine, canvas.leftLine,
                                                canvas.leftLine + std::lround(advanceOf(letter)));
        for (int id = 0; id < letter.pictures.size(); ++id) {
            const Picture &picture = letter.pictures.at(id);
            QImage image(canvas.width, canvas.height, QImage::Format_ARGB32);
            image.fill(0);
            const int dx = canvas.leftLine - picture.origin;
            const int dy = canvas.baseLine - picture.baseline;
            if (picture.alpha.format() == QImage::Format_Alpha8) {
                for (int row = 0; row < picture.alpha.height(); ++row) {
                    const uchar *source = picture.alpha.constScanLine(row);
                    auto *target = reinterpret_cast<QRgb *>(image.scanLine(row + dy)) + dx;
                    for (int x = 0; x < picture.alpha.width(); ++x) {
                        target[x] = qRgba(0, 0, 0, source[x]);
                    }
                }
            } else {
                for (int row = 0; row < picture.alpha.height(); ++row) {
                    const auto *source = reinterpret_cast<const QRgb *>(picture.alpha.constScanLine(row));
                    std::copy(source, source + picture.alpha.width(), reinterpret_cast<QRgb *>(image.scanLine(row + dy)) + dx);
                }
            }
            character->addPicture(new Models::CharacterPicture(image, id, picture.degradation));
        }
        font->addCharacter(character);
    }
    return font;
}

ScanMetrics ScanFont::metrics() const
{
    ScanMetrics metrics;
    metrics.ascent = ascent();
    metrics.descent = m_descents.isEmpty() ? 0 : median(m_descents);
    metrics.lineSpacing = m_lineSpacings.isEmpty() ? metrics.ascent + metrics.descent : median(m_lineSpacings);
    metrics.pixelSize = int(std::lround(metrics.ascent + metrics.descent));
    QVector<double> spaces;
    for (const SpaceSample &sample : m_spaces) {
        const auto letter = m_letters.constFind(sample.letter);
        spaces.append(sample.distance - (letter == m_letters.constEnd() ? 0 : std::lround(advanceOf(*letter))));
    }
    metrics.spaceAdvance = spaces.isEmpty() ? std::round(metrics.pixelSize / 4.0) : qMax(1.0, median(spaces));
    for (auto it = m_letters.constBegin(); it != m_letters.constEnd(); ++it) {
        const Letter &letter = it.value();
        if (letter.pictures.isEmpty()) {
            continue;
        }
        const Canvas canvas = canvasOf(letter);
        ScanLetterMetrics entry;
        entry.letter = it.key();
        entry.advance = std::lround(advanceOf(letter));
        entry.image = QSize(canvas.width, canvas.height);
        entry.origin = QPoint(canvas.leftLine, canvas.baseLine);
        for (const Picture &picture : letter.pictures) {
            const QImage alpha = picture.alpha.format() == QImage::Format_Alpha8 ? picture.alpha
                                                                                  : picture.alpha.convertToFormat(QImage::Format_Alpha8);
            int left = alpha.width();
            int right = -1;
            int top = alpha.height();
            int bottom = -1;
            for (int y = 0; y < alpha.height(); ++y) {
                const uchar *line = alpha.constScanLine(y);
                for (int x = 0; x < alpha.width(); ++x) {
                    if (line[x]) {
                        left = qMin(left, x);
                        right = qMax(right, x);
                        top = qMin(top, y);
                        bottom = y;
                    }
                }
            }
            if (right >= 0) {
                entry.ink |= QRect(QPoint(left, top), QPoint(right, bottom)).translated(-picture.origin, -picture.baseline);
            }
        }
        metrics.letters.append(entry);
    }
    return metrics;
}

int ScanFont::pictureCount() const
{
    int count = 0;
    for (const Letter &letter : m_letters) {
        count += letter.pictures.size();
    }
    return count;
}

} // namespace Scans
