#include "pagereader.h"

#include "xmlwalk_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace Scans {

namespace {

const QLatin1String pageNamespace("http://schema.primaresearch.org/PAGE/gts/pagecontent/");

bool isAltoNamespace(const QString &uri)
{
    return uri.isEmpty() || uri == QLatin1String("http://www.loc.gov/standards/alto/ns-v2#")
           || uri == QLatin1String("http://www.loc.gov/standards/alto/ns-v3#")
           || uri == QLatin1String("http://www.loc.gov/standards/alto/ns-v4#");
}

QString located(const QXmlStreamReader &xml, const QString &reason)
{
    return QStringLiteral("%1:%2: %3").arg(xml.lineNumber()).arg(xml.columnNumber()).arg(reason);
}

// Up to the root element; a document type that declares entities is refused before any could be expanded.
bool readProlog(QXmlStreamReader &xml, QString *error)
{
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            return true;
        }
        if (xml.isDTD() && (!xml.entityDeclarations().isEmpty() || xml.text().contains(QLatin1String("<!ENTITY")))) {
            *error = located(xml, QStringLiteral("a document type that declares entities; not read"));
            return false;
        }
    }
    *error = located(xml, xml.hasError() ? xml.errorString() : QStringLiteral("no root element"));
    return false;
}

// "a/b.tif" relative to folder; an image path of the form "NAME[N]" names page N of a multi-page file.
void resolveImage(const QString &folder, ScanPage *page)
{
    QString path = page->imagePath;
    if (path.isEmpty()) {
        return;
    }
    if (path.endsWith(QLatin1Char(']'))) {
        const int open = path.lastIndexOf(QLatin1Char('['));
        bool ok = false;
        const int number = open > 0 ? path.mid(open + 1, path.size() - open - 2).toInt(&ok) : 0;
        if (ok && number >= 0 && !QFileInfo::exists(QDir(folder).filePath(path))) {
            page->imagePage = number;
            path.truncate(open);
        }
    }
    if (path.startsWith(QLatin1String("file://"))) {
        path = path.mid(7);
    }
    page->imagePath = QDir::cleanPath(QDir(folder).filePath(path));
}

} // namespace

bool readPageDevice(QIODevice *device, const QString &folder, ScanPage *page, QString *error, PageFormat *format)
{
    QXmlStreamReader xml(device);
    xml.setNamespaceProcessing(true);
    if (!readProlog(xml, error)) {
        return false;
    }
    Private::XmlWalk walk(xml);
    const QString uri = xml.namespaceUri().toString();
    PageFormat found;
    if (xml.name() == QLatin1String("PcGts") && uri.startsWith(pageNamespace)) {
        found = PageFormat::PageXml;
        Private::readPageXml(walk, page);
    } else if (xml.name() == QLatin1String("alto") && isAltoNamespace(uri)) {
        found = PageFormat::Alto;
        Private::readAlto(walk, page);
    } else {
        *error = located(xml, QStringLiteral("the root element is \"%1\"%2, neither PAGE-XML (PcGts) nor ALTO (alto)")
                                  .arg(xml.name().toString(),
                                       uri.isEmpty() ? QString() : QStringLiteral(" in %1").arg(uri)));
        return false;
    }
    if (!xml.hasError()) {
        // What follows the root element must be well-formed too.
        while (!xml.atEnd()) {
            xml.readNext();
        }
    }
    if (xml.hasError()) {
        *error = located(xml, xml.errorString());
        return false;
    }
    resolveImage(folder, page);
    if (format) {
        *format = found;
    }
    return true;
}

bool readPageFile(const QString &path, ScanPage *page, QString *error, PageFormat *format)
{
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("a directory, not a page file");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.isSequential()) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (file.size() > maxPageFileBytes) {
        *error = QStringLiteral("%1 bytes, more than the %2 a page file may have").arg(file.size()).arg(maxPageFileBytes);
        return false;
    }
    return readPageDevice(&file, QFileInfo(path).absolutePath(), page, error, format);
}

} // namespace Scans
