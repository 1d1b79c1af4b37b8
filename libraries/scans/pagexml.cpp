// The PAGE-XML part of the page reader: every schema from 2010 on, regions nested in any way.

#include "xmlwalk_p.h"

#include "pagereader.h"

#include <QXmlStreamReader>

#include <climits>

namespace Scans {
namespace Private {

namespace {

struct PageState {
    ScanPage *page;
    int line = -1;
    int word = -1;
    int words = 0;
};

// Points as an attribute (2013 on) or as Point children (2010).
QPolygon readCoords(XmlWalk &walk, bool *ok)
{
    QPolygon polygon;
    const QString points = walk.attribute("points");
    *ok = !points.isNull() ? parsePoints(points, &polygon) : true;
    while (walk.nextChild()) {
        if (points.isNull() && walk.isElement("Point")) {
            bool xOk = false;
            bool yOk = false;
            const int x = walk.attribute("x").toInt(&xOk);
            const int y = walk.attribute("y").toInt(&yOk);
            *ok = *ok && xOk && yOk && polygon.size() < maxOutlinePoints;
            polygon.append(QPoint(x, y));
        }
        walk.skip();
    }
    *ok = *ok && !polygon.isEmpty();
    return polygon;
}

// The Unicode text of a TextEquiv, with its index (-1 when it has none, which counts as last).
void readTextEquiv(XmlWalk &walk, QString *text, int *bestIndex, bool *found)
{
    bool ok = false;
    const int index = walk.attribute("index").toInt(&ok);
    QString unicode;
    while (walk.nextChild()) {
        if (walk.isElement("Unicode")) {
            unicode = walk.text();
        } else {
            walk.skip();
        }
    }
    // The lowest index wins; without indices, the first.
    const int rank = ok ? index : INT_MAX;
    if (!*found || rank < *bestIndex) {
        *text = unicode;
        *bestIndex = rank;
        *found = true;
    }
}

void readGlyph(XmlWalk &walk, PageState *state)
{
    const QString id = walk.attribute("id");
    ScanGlyph glyph;
    glyph.line = state->line;
    glyph.word = state->word;
    bool coordsOk = false;
    bool hasCoords = false;
    int bestIndex = 0;
    bool found = false;
    while (walk.nextChild()) {
        if (walk.isElement("Coords")) {
            glyph.outline = readCoords(walk, &coordsOk);
            hasCoords = true;
        } else if (walk.isElement("TextEquiv")) {
            readTextEquiv(walk, &glyph.text, &bestIndex, &found);
        } else {
            walk.skip();
        }
    }
    const QString name = QStringLiteral("Glyph %1").arg(id.isEmpty() ? QStringLiteral("(no id)") : id);
    if (!hasCoords || !coordsOk) {
        state->page->passedOver.append(name + QStringLiteral(": its Coords are missing or not points"));
    } else if (glyph.text.isEmpty()) {
        state->page->passedOver.append(name + QStringLiteral(": no text"));
    } else {
        state->page->glyphs.append(glyph);
    }
}

void readBaseline(XmlWalk &walk, ScanLine *line)
{
    QPolygon points;
    if (parsePoints(walk.attribute("points"), &points)) {
        line->baseline = points;
    }
    walk.skip();
}

void readRegionContent(XmlWalk &walk, PageState *state);

void readWord(XmlWalk &walk, PageState *state)
{
    state->word = state->words++;
    while (walk.nextChild()) {
        if (walk.isElement("Glyph")) {
            readGlyph(walk, state);
        } else {
            walk.skip();
        }
    }
    state->word = -1;
}

void readTextLine(XmlWalk &walk, PageState *state)
{
    state->line = state->page->lines.size();
    state->page->lines.append(ScanLine());
    while (walk.nextChild()) {
        if (walk.isElement("Coords")) {
            bool ok = false;
            const QPolygon outline = readCoords(walk, &ok);
            if (ok) {
                state->page->lines[state->line].outline = outline;
            }
        } else if (walk.isElement("Baseline")) {
            readBaseline(walk, &state->page->lines[state->line]);
        } else if (walk.isElement("Word")) {
            readWord(walk, state);
        } else if (walk.isElement("Glyph")) {
            readGlyph(walk, state);
        } else {
            walk.skip();
        }
    }
    state->line = -1;
}

// Regions hold lines and other regions (a table's cells, a text region's parts) at any depth.
void readRegionContent(XmlWalk &walk, PageState *state)
{
    while (walk.nextChild()) {
        if (walk.isElement("TextLine")) {
            readTextLine(walk, state);
        } else if (walk.xml().name().endsWith(QLatin1String("Region"))) {
            readRegionContent(walk, state);
        } else {
            walk.skip();
        }
    }
}

void readPage(XmlWalk &walk, PageState *state)
{
    bool widthOk = false;
    bool heightOk = false;
    const int width = walk.attribute("imageWidth").toInt(&widthOk);
    const int height = walk.attribute("imageHeight").toInt(&heightOk);
    if (widthOk && heightOk) {
        state->page->imageSize = QSize(width, height);
    }
    state->page->imagePath = walk.attribute("imageFilename");
    readRegionContent(walk, state);
}

} // namespace

void readPageXml(XmlWalk &walk, ScanPage *page)
{
    PageState state{page};
    bool seen = false;
    while (walk.nextChild()) {
        if (walk.isElement("Page") && !seen) {
            seen = true;
            readPage(walk, &state);
        } else {
            walk.skip();
        }
    }
    if (!seen && !walk.xml().hasError()) {
        walk.xml().raiseError(QStringLiteral("PAGE-XML without a Page element"));
    }
}

} // namespace Private
} // namespace Scans
