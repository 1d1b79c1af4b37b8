#ifndef SCANS_XMLWALK_P_H
#define SCANS_XMLWALK_P_H

#include "scanpage.h"

#include <QString>

class QXmlStreamReader;

namespace Scans {
namespace Private {

/*
 * A walk over the elements of a page file in readNextStartElement() style, holding the nesting depth to
 * maxPageDepth: past it the reader is stopped with an error, in skipped subtrees and text as well.
 */
class XmlWalk
{
public:
    explicit XmlWalk(QXmlStreamReader &xml);

    QXmlStreamReader &xml() { return m_xml; }
    /** Moves to the next child element of the current element; false at its end (or on an error). */
    bool nextChild();
    /** Passes over the current element and everything in it. */
    void skip();
    /** The text of the current element, child elements' text included; leaves it. */
    QString text();
    /** The current element's attribute, null when absent. */
    QString attribute(const char *name) const;
    bool isElement(const char *name) const;

private:
    bool enter();

    QXmlStreamReader &m_xml;
    int m_depth = 1; // the root element is current when a walk starts
};

/** "x,y x,y ..." as PAGE-XML writes points; false when it is not that or has more than maxOutlinePoints. */
bool parsePoints(const QString &points, QPolygon *polygon);

/** The rectangle of pixels left to left + width, top to top + height, as an outline. */
QPolygon boxOutline(int left, int top, int width, int height);

/** Reads a PAGE-XML document from its root element on. */
void readPageXml(XmlWalk &walk, ScanPage *page);

/** Reads an ALTO document from its root element on. */
void readAlto(XmlWalk &walk, ScanPage *page);

} // namespace Private
} // namespace Scans

#endif // SCANS_XMLWALK_P_H
