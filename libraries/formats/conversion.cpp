#include "conversion.h"

#include "charset.h"
#include "metricsfile.h"
#include "placement.h"

#include "iomanager/glyphfilename.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QHash>
#include <QtMath>

#include <cmath>

namespace Convert {

namespace {

// The value most letters agree on: one glyph taller than the rest must not move the whole font's line.
int commonValue(const QList<int> &values)
{
    QHash<int, int> counts;
    int best = 0;
    int bestCount = 0;
    for (const int value : values) {
        const int count = ++counts[value];
        if (count > bestCount || (count == bestCount && value > best)) {
            best = value;
            bestCount = count;
        }
    }
    return best;
}

QString glyphName(uint codePoint)
{
    const QString digits = QStringLiteral("%1").arg(codePoint, codePoint <= 0xFFFF ? 4 : 5, 16, QLatin1Char('0')).toUpper();
    return (codePoint <= 0xFFFF ? QStringLiteral("uni") : QStringLiteral("u")) + digits;
}

// The glyph of one letter's image: its ink box and rows, relative to where the image stands on the line.
Bdf::Glyph glyphOf(uint codePoint, const QImage &image, const Placement::Letter &placement, int threshold)
{
    Bdf::Glyph glyph;
    glyph.codePoint = codePoint;
    glyph.name = glyphName(codePoint);
    glyph.advance = qRound(placement.advance);
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) >= threshold) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    if (ink.isEmpty()) {
        return glyph;
    }
    glyph.width = ink.width();
    glyph.height = ink.height();
    glyph.xOffset = ink.left() - placement.originX;
    glyph.yOffset = placement.baseline - (ink.bottom() + 1);
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        QByteArray row((glyph.width + 7) / 8, '\0');
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < glyph.width; ++x) {
            if (qAlpha(line[ink.left() + x]) >= threshold) {
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
            }
        }
        glyph.rows.append(row);
    }
    return glyph;
}

// Whether the BDF reader takes the glyph back, and the font's bounding box with it.
bool reachable(const Bdf::Glyph &glyph)
{
    return glyph.xOffset >= -maxReach && glyph.xOffset + glyph.width <= maxReach && glyph.yOffset >= -maxReach
           && glyph.yOffset + glyph.height <= maxReach && qAbs(glyph.advance) <= maxReach;
}

} // namespace

QString familyOf(const Models::Font &font)
{
    QString family = font.getName();
    if (family.endsWith(QLatin1String(".of"), Qt::CaseInsensitive)) {
        family.chop(3);
    }
    return family;
}

QImage firstImage(const Models::Character &letter)
{
    const QList<Models::CharacterPicture *> &pictures = letter.getPictures();
    return pictures.isEmpty() ? QImage() : pictures.first()->getImage();
}

QString placementProblem(const Models::Character &letter, const QImage &image, const MetricsFile::TextMetrics *metrics)
{
    const auto outside = [&image](const char *key, qreal value, bool horizontal) {
        const int extent = horizontal ? image.width() : image.height();
        if (std::isfinite(value) && value >= -maxReach && value <= extent + maxReach) {
            return QString();
        }
        return QStringLiteral("%1 %2 is not a position within %3 pixels of its %4 x %5 image")
            .arg(QLatin1String(key), QString::number(value)).arg(maxReach).arg(image.width()).arg(image.height());
    };
    if (const MetricsFile::TextMetrics::Letter *measured = Placement::measured(metrics, letter.getCharacterValue())) {
        QString problem = outside("origin.x", measured->originX, true);
        problem = problem.isEmpty() ? outside("origin.y", measured->originY, false) : problem;
        if (problem.isEmpty() && !(std::isfinite(measured->advance) && qAbs(measured->advance) <= maxReach)) {
            problem = QStringLiteral("advance %1 is not a number of pixels from %2 to %3")
                          .arg(QString::number(measured->advance)).arg(-maxReach).arg(maxReach);
        }
        return problem.isEmpty() ? problem : QStringLiteral("metrics: ") + problem;
    }
    QString problem = outside("upLine", letter.getUpLine(), false);
    problem = problem.isEmpty() ? outside("baseLine", letter.getBaseLine(), false) : problem;
    problem = problem.isEmpty() ? outside("leftLine", letter.getLeftLine(), true) : problem;
    problem = problem.isEmpty() ? outside("rightLine", letter.getRightLine(), true) : problem;
    return problem;
}

Bdf::Font toBdf(const Models::Font &font, int threshold, QStringList *notes, const MetricsFile::TextMetrics *metrics)
{
    Bdf::Font bdf;
    bdf.family = familyOf(font);
    QList<int> ascents;
    QList<int> descents;
    bool cutToInk = false;
    int inkAbove = 0;
    int inkBelow = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        const QString value = letter->getCharacterValue();
        const QVector<uint> codePoints = value.toUcs4();
        if (codePoints.size() != 1) {
            QStringList names;
            for (const uint codePoint : codePoints) {
                names.append(Charset::codePointName(codePoint));
            }
            notes->append(QStringLiteral("letter %1 left out: a BDF glyph is one code point")
                              .arg(names.isEmpty() ? QStringLiteral("(empty)") : names.join(QLatin1Char(' '))));
            continue;
        }
        const QImage image = firstImage(*letter).convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) {
            notes->append(QStringLiteral("letter %1 left out: it has no image").arg(Charset::codePointName(codePoints.first())));
            continue;
        }
        const QString problem = placementProblem(*letter, image, metrics);
        if (!problem.isEmpty()) {
            notes->append(QStringLiteral("letter %1 left out: %2").arg(Charset::codePointName(codePoints.first()), problem));
            continue;
        }
        const Placement::Letter placement = Placement::placeLetter(*letter, image.size(), metrics);
        const Bdf::Glyph glyph = glyphOf(codePoints.first(), image, placement, threshold);
        if (!reachable(glyph)) {
            notes->append(QStringLiteral("letter %1 left out: its ink or advance lies more than %2 pixels from its pen "
                                         "origin, further than BDF readers take")
                              .arg(Charset::codePointName(codePoints.first())).arg(maxReach));
            continue;
        }
        ascents.append(placement.baseline - placement.top);
        descents.append(image.height() - placement.baseline);
        // A line box starts at the top of its line (or above, grown to hold ink); an image cut to its ink lower.
        cutToInk = cutToInk || placement.top < 0;
        if (glyph.width && glyph.height) {
            inkAbove = qMax(inkAbove, glyph.yOffset + glyph.height);
            inkBelow = qMax(inkBelow, -glyph.yOffset);
        }
        bdf.glyphs.append(glyph);
    }
    // Images cut to their ink say nothing of the line; the metrics do.
    int ascent = metrics ? qCeil(metrics->ascent) : commonValue(ascents);
    int descent = metrics ? qCeil(metrics->descent) : commonValue(descents);
    // Nor, without metrics, do the bottom edges of images cut to their ink: the line reaches as far as the glyphs do.
    if (!metrics && cutToInk) {
        ascent = qMax(ascent, inkAbove);
        descent = inkBelow;
    }
    bdf.ascent = qBound(0, ascent, Bdf::maxSide);
    bdf.descent = qBound(0, descent, Bdf::maxSide - bdf.ascent);
    bdf.pixelSize = metrics && metrics->pixelSize > 0 ? metrics->pixelSize : bdf.ascent + bdf.descent;
    return bdf;
}

std::unique_ptr<Models::Font> fromBdf(const Bdf::Font &bdf, const QString &name, QStringList *notes, QString *error)
{
    auto font = std::make_unique<Models::Font>(name);
    qint64 pixels = 0;
    for (const Bdf::Glyph &glyph : bdf.glyphs) {
        const QString letter = Charset::letterOf(glyph.codePoint);
        if (glyph.codePoint == 0 || !IOManager::GlyphFileName::isStorableLetter(letter) || font->getCharacter(letter)) {
            notes->append(QStringLiteral("glyph %1 (%2) left out: %3")
                              .arg(glyph.name, Charset::codePointName(glyph.codePoint),
                                   font->getCharacter(letter) ? QStringLiteral("a second glyph for its code point")
                                                              : QStringLiteral("an OF font file cannot hold its code point")));
            continue;
        }
        // The line box, grown to hold ink that reaches outside it; y down from the baseline.
        const QRect ink = Bdf::inkBox(glyph);
        const QRect lineBox(0, -bdf.ascent, qMax(0, glyph.advance), bdf.ascent + bdf.descent);
        const QRect box = glyph.width && glyph.height ? lineBox.united(ink) : lineBox;
        const int width = qMax(1, box.width());
        const int height = qMax(1, box.height());
        if (qint64(width) * height > maxGlyphPixels) {
            *error = QStringLiteral("glyph %1 (%2) would take %3 x %4 pixels, more than an OF font file's picture holds (%5)")
                         .arg(glyph.name, Charset::codePointName(glyph.codePoint)).arg(width).arg(height).arg(maxGlyphPixels);
            return nullptr;
        }
        pixels += qint64(width) * height;
        if (width > Bdf::maxSide || height > Bdf::maxSide || pixels > maxFontPixels) {
            *error = QStringLiteral("the glyph images would take more than %1 pixels").arg(maxFontPixels);
            return nullptr;
        }
        QImage image(width, height, QImage::Format_ARGB32);
        if (image.isNull()) {
            *error = QStringLiteral("not enough memory for the glyph images");
            return nullptr;
        }
        image.fill(Qt::transparent);
        for (int y = 0; y < glyph.rows.size(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(ink.top() + y - box.top()));
            for (int x = 0; x < glyph.width; ++x) {
                if (glyph.ink(x, y)) {
                    line[ink.left() + x - box.left()] = 0xff000000;
                }
            }
        }
        const int origin = -box.left();
        const int baseline = -box.top();
        auto *character = new Models::Character(letter, baseline - bdf.ascent, baseline, origin, origin + glyph.advance);
        character->addPicture(new Models::CharacterPicture(image, 0, 0.0f));
        font->addCharacter(character);
    }
    return font;
}

} // namespace Convert
