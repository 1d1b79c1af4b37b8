#include "xmlwalk_p.h"

#include "pagereader.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace Scans {
namespace Private {

namespace {
constexpr int maxCoordinate = 1 << 24;
}

XmlWalk::XmlWalk(QXmlStreamReader &xml)
    : m_xml(xml)
{
}

bool XmlWalk::enter()
{
    if (++m_depth > maxPageDepth) {
        m_xml.raiseError(QStringLiteral("elements nested more than %1 deep").arg(maxPageDepth));
        return false;
    }
    return true;
}

bool XmlWalk::nextChild()
{
    if (m_xml.readNextStartElement()) {
        return enter();
    }
    if (m_xml.isEndElement()) {
        --m_depth;
    }
    return false;
}

void XmlWalk::skip()
{
    const int level = m_depth;
    while (m_depth >= level && !m_xml.atEnd()) {
        m_xml.readNext();
        if (m_xml.isStartElement() && !enter()) {
            return;
        }
        if (m_xml.isEndElement()) {
            --m_depth;
        }
    }
}

QString XmlWalk::text()
{
    QString result;
    const int level = m_depth;
    while (m_depth >= level && !m_xml.atEnd()) {
        m_xml.readNext();
        if (m_xml.isCharacters()) {
            result += m_xml.text();
        } else if (m_xml.isStartElement() && !enter()) {
            return QString();
        } else if (m_xml.isEndElement()) {
            --m_depth;
        }
    }
    return result;
}

QString XmlWalk::attribute(const char *name) const
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    const QLatin1String key(name);
    return attributes.hasAttribute(key) ? attributes.value(key).toString() : QString();
}

bool XmlWalk::isElement(const char *name) const
{
    return m_xml.name() == QLatin1String(name);
}

bool parsePoints(const QString &points, QPolygon *polygon)
{
    polygon->clear();
    const QStringList pairs = points.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (pairs.size() > maxOutlinePoints) {
        return false;
    }
    for (const QString &pair : pairs) {
        const int comma = pair.indexOf(QLatin1Char(','));
        bool xOk = false;
        bool yOk = false;
        const int x = pair.left(comma).toInt(&xOk);
        const int y = pair.mid(comma + 1).toInt(&yOk);
        // Far beyond any scan, and small enough that no sum of two overflows.
        if (comma < 0 || !xOk || !yOk || qAbs(x) > maxCoordinate || qAbs(y) > maxCoordinate) {
            return false;
        }
        polygon->append(QPoint(x, y));
    }
    return !polygon->isEmpty();
}

QPolygon boxOutline(int left, int top, int width, int height)
{
    return QPolygon(QVector<QPoint>{QPoint(left, top), QPoint(left + width, top), QPoint(left + width, top + height), QPoint(left, top + height)});
}

} // namespace Private
} // namespace Scans
