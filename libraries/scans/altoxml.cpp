// The ALTO part of the page reader: versions 2 to 4, lengths in pixels only.

#include "xmlwalk_p.h"

#include <QXmlStreamReader>

#include <cmath>

namespace Scans {
namespace Private {

namespace {

struct AltoState {
    ScanPage *page;
    int line = -1;
    int words = 0;
};

// ALTO lengths are decimals ("12.5" in some writers); pixels are whole.
bool length(const XmlWalk &walk, const char *name, int *value)
{
    bool ok = false;
    const double number = walk.attribute(name).toDouble(&ok);
    if (!ok || !std::isfinite(number) || std::fabs(number) > (1 << 24)) {
        return false;
    }
    *value = int(std::lround(number));
    return true;
}

bool box(const XmlWalk &walk, QPolygon *outline)
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    if (!length(walk, "HPOS", &left) || !length(walk, "VPOS", &top) || !length(walk, "WIDTH", &width)
        || !length(walk, "HEIGHT", &height)) {
        return false;
    }
    *outline = boxOutline(left, top, width, height);
    return true;
}

void readGlyph(XmlWalk &walk, AltoState *state, int word)
{
    ScanGlyph glyph;
    glyph.line = state->line;
    glyph.word = word;
    glyph.text = walk.attribute("CONTENT");
    const QString id = walk.attribute("ID");
    const bool hasBox = box(walk, &glyph.outline);
    walk.skip();
    const QString name = QStringLiteral("Glyph %1").arg(id.isEmpty() ? QStringLiteral("(no ID)") : id);
    if (!hasBox) {
        state->page->passedOver.append(name + QStringLiteral(": HPOS, VPOS, WIDTH or HEIGHT missing or not a number"));
    } else if (glyph.text.isEmpty()) {
        state->page->passedOver.append(name + QStringLiteral(": no text"));
    } else {
        state->page->glyphs.append(glyph);
    }
}

void readString(XmlWalk &walk, AltoState *state)
{
    const int word = state->words++;
    while (walk.nextChild()) {
        if (walk.isElement("Glyph")) {
            readGlyph(walk, state, word);
        } else {
            walk.skip();
        }
    }
}

// BASELINE is a vertical position up to v4, where it may also be a list of points.
void readAltoBaseline(const XmlWalk &walk, ScanLine *line)
{
    const QString value = walk.attribute("BASELINE");
    bool ok = false;
    const double y = value.toDouble(&ok);
    QPolygon points;
    if (ok && std::isfinite(y) && std::fabs(y) < (1 << 24) && !line->outline.isEmpty()) {
        const QRect box = line->outline.boundingRect();
        line->baseline = QPolygon(QVector<QPoint>{QPoint(box.left(), int(std::lround(y))), QPoint(box.right() + 1, int(std::lround(y)))});
    } else if (!ok && parsePoints(value, &points) && points.size() >= 2) {
        line->baseline = points;
    }
}

void readTextLine(XmlWalk &walk, AltoState *state)
{
    state->line = state->page->lines.size();
    ScanLine line;
    box(walk, &line.outline);
    readAltoBaseline(walk, &line);
    state->page->lines.append(line);
    while (walk.nextChild()) {
        if (walk.isElement("String")) {
            readString(walk, state);
        } else {
            walk.skip();
        }
    }
    state->line = -1;
}

// Blocks hold lines, and composed blocks hold blocks, at any depth.
void readBlocks(XmlWalk &walk, AltoState *state)
{
    while (walk.nextChild()) {
        if (walk.isElement("TextLine")) {
            readTextLine(walk, state);
        } else if (walk.isElement("Page") || walk.xml().name().endsWith(QLatin1String("Space")) || walk.xml().name().endsWith(QLatin1String("Margin"))
                   || walk.xml().name().endsWith(QLatin1String("Block"))) {
            if (walk.isElement("Page") && state->page->imageSize.isEmpty()) {
                int width = 0;
                int height = 0;
                if (length(walk, "WIDTH", &width) && length(walk, "HEIGHT", &height)) {
                    state->page->imageSize = QSize(width, height);
                }
            }
            readBlocks(walk, state);
        } else {
            walk.skip();
        }
    }
}

void readDescription(XmlWalk &walk, ScanPage *page)
{
    while (walk.nextChild()) {
        if (walk.isElement("MeasurementUnit")) {
            const QString unit = walk.text().trimmed();
            if (unit != QLatin1String("pixel")) {
                walk.xml().raiseError(QStringLiteral("ALTO lengths in \"%1\"; only pixel is read").arg(unit));
                return;
            }
        } else if (walk.isElement("sourceImageInformation")) {
            while (walk.nextChild()) {
                if (walk.isElement("fileName")) {
                    page->imagePath = walk.text().trimmed();
                } else {
                    walk.skip();
                }
            }
        } else {
            walk.skip();
        }
    }
}

} // namespace

void readAlto(XmlWalk &walk, ScanPage *page)
{
    AltoState state{page};
    while (walk.nextChild()) {
        if (walk.isElement("Description")) {
            readDescription(walk, page);
        } else if (walk.isElement("Layout")) {
            readBlocks(walk, &state);
        } else {
            walk.skip();
        }
    }
}

} // namespace Private
} // namespace Scans
