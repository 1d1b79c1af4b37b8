#include "oftoolrun.h"
#include "testfiles.h"

#include "boxfile.h"
#include "glyphcut.h"
#include "pagereader.h"
#include "scanfont.h"
#include "scanimage.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"
#include "iomanager/fontfilemanager.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A glyph of a fixture page: its text, its box and the word and line it stands in.
struct FixtureGlyph {
    QString text;
    QRect box;
    int line;
    int word;
};

// Boxes on pixel edges, as the page files write points.
QString points(const QRect &box)
{
    return QStringLiteral("%1,%2 %3,%2 %3,%4 %1,%4").arg(box.left()).arg(box.top()).arg(box.right() + 1).arg(box.bottom() + 1);
}

// PAGE-XML of the 2019 schema; each line gets a Baseline at baselines[line] when that is not negative.
QByteArray pageXml(const QString &image, const QSize &size, const QVector<FixtureGlyph> &glyphs, const QVector<int> &baselines)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2019-07-15\">\n"
                                 "<Page imageFilename=\"%1\" imageWidth=\"%2\" imageHeight=\"%3\"><TextRegion id=\"r\">\n")
                      .arg(image).arg(size.width()).arg(size.height());
    for (int line = 0; line < baselines.size(); ++line) {
        xml += QStringLiteral("<TextLine id=\"l%1\">").arg(line);
        if (baselines.at(line) >= 0) {
            xml += QStringLiteral("<Baseline points=\"0,%1 %2,%1\"/>").arg(baselines.at(line)).arg(size.width());
        }
        int word = -1;
        for (int i = 0; i < glyphs.size(); ++i) {
            const FixtureGlyph &glyph = glyphs.at(i);
            if (glyph.line != line) {
                continue;
            }
            if (glyph.word != word) {
                xml += QLatin1String(word >= 0 ? "</Word><Word>" : "<Word>");
                word = glyph.word;
            }
            xml += QStringLiteral("<Glyph id=\"g%1\"><Coords points=\"%2\"/><TextEquiv index=\"1\"><Unicode>%3</Unicode>"
                                  "</TextEquiv></Glyph>\n").arg(i).arg(points(glyph.box), glyph.text);
        }
        xml += QLatin1String(word >= 0 ? "</Word></TextLine>\n" : "</TextLine>\n");
    }
    xml += QLatin1String("</TextRegion></Page></PcGts>\n");
    return xml.toUtf8();
}

// A white page with each glyph's ink: a black bar 6 wide standing on the row before its box's bottom edge.
QImage pageImage(const QSize &size, const QVector<FixtureGlyph> &glyphs, const QColor &paper = Qt::white)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(paper);
    QPainter painter(&image);
    for (const FixtureGlyph &glyph : glyphs) {
        painter.fillRect(QRect(glyph.box.left() + 2, glyph.box.top() + 2, 6, glyph.box.height() - 4), Qt::black);
    }
    return image;
}

std::unique_ptr<Models::Font> importFixture(const QImage &image, const QByteArray &xml, QString *error,
                                            Scans::InkMode mode = Scans::InkMode::Coverage)
{
    QTemporaryDir dir;
    Scans::ScanPage page;
    const QString path = dir.filePath(QStringLiteral("page.xml"));
    if (!writeAll(path, xml) || !image.save(dir.filePath(QStringLiteral("page.png"))) || !Scans::readPageFile(path, &page, error)) {
        return nullptr;
    }
    const QImage grey = Scans::loadScanImage(page.imagePath, 0, error);
    Scans::ScanSettings settings;
    settings.mode = mode;
    Scans::ScanFont font(settings);
    font.addPage(page, grey);
    return std::unique_ptr<Models::Font>(font.font(QStringLiteral("fixture")));
}

// The smallest rectangle holding every pixel of an Alpha8 image that is not transparent.
QRect inkRect(const QImage &alpha)
{
    QRect ink;
    for (int y = 0; y < alpha.height(); ++y) {
        for (int x = 0; x < alpha.width(); ++x) {
            ink |= alpha.constScanLine(y)[x] ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return ink;
}

int alphaAt(const QImage &image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

} // namespace

class tst_ImportPage : public QObject
{
    Q_OBJECT

private slots:
    void outlineMask_data();
    void outlineMask();
    void letters_data();
    void letters();
    void commonCanvas_data();
    void commonCanvas();
    void paperLevel_data();
    void paperLevel();
    void refusedFiles_data();
    void refusedFiles();
    void oftoolRefusals_data();
    void oftoolRefusals();
    void boxFile();
    void composedRoundTrip_data();
    void composedRoundTrip();
    void sharedPage();
};

void tst_ImportPage::outlineMask_data()
{
    QTest::addColumn<QPolygon>("outline");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<int>("count");
    QTest::addColumn<QPoint>("inside");
    QTest::addColumn<QPoint>("outside");

    QTest::newRow("rectangle") << QPolygon({{2, 1}, {6, 1}, {6, 4}, {2, 4}}) << QRect(2, 1, 4, 3) << 12 << QPoint(3, 2) << QPoint(-1, -1);
    QTest::newRow("concave L") << QPolygon({{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}}) << QRect(0, 0, 4, 4) << 12
                               << QPoint(1, 3) << QPoint(3, 3);
    QTest::newRow("triangle") << QPolygon({{0, 0}, {4, 0}, {0, 4}}) << QRect(0, 0, 4, 4) << 6 << QPoint(2, 0) << QPoint(2, 1);
    // A box cut to the image on its left: the columns that remain are filled.
    QTest::newRow("along the image edge") << QPolygon({{-3, 0}, {3, 0}, {3, 2}, {-3, 2}}) << QRect(0, 0, 3, 2) << 6
                                          << QPoint(0, 1) << QPoint(-1, -1);
    // A loop drawn twice around the same square still fills it once (nonzero winding).
    QTest::newRow("drawn twice") << QPolygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 2}, {0, 2}}) << QRect(0, 0, 2, 2)
                                 << 4 << QPoint(1, 1) << QPoint(-1, -1);
    QTest::newRow("no area") << QPolygon({{0, 0}, {4, 0}, {4, 0}}) << QRect(0, 0, 4, 1) << 0 << QPoint(-1, -1) << QPoint(0, 0);
}

void tst_ImportPage::outlineMask()
{
    QFETCH(QPolygon, outline);
    QFETCH(QRect, box);
    QFETCH(int, count);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, outside);

    const QImage mask = Scans::outlineMask(outline, box);
    QCOMPARE(mask.size(), box.size());
    int filled = 0;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            filled += mask.constScanLine(y)[x] ? 1 : 0;
        }
    }
    QCOMPARE(filled, count);
    if (inside.x() >= 0) {
        QCOMPARE(int(mask.constScanLine(inside.y() - box.top())[inside.x() - box.left()]), 255);
    }
    if (outside.x() >= 0) {
        QCOMPARE(int(mask.constScanLine(outside.y() - box.top())[outside.x() - box.left()]), 0);
    }
}

// The letters a page makes, from the three kinds of file: ligatures are one letter, glyphs without text none.
void tst_ImportPage::letters_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("passedOver");

    const QVector<FixtureGlyph> glyphs{{QStringLiteral("ch"), {10, 10, 12, 20}, 0, 0},
                                       {QStringLiteral("\u017Ft"), {24, 10, 12, 20}, 0, 0},
                                       {QStringLiteral("ch"), {40, 10, 12, 20}, 0, 1}};
    QTest::newRow("PAGE 2019, ligatures") << pageXml(QStringLiteral("page.png"), {80, 40}, glyphs, {-1})
                                          << QStringLiteral("ch:2 \u017Ft:1") << QString();
    QTest::newRow("PAGE 2010, Point children, lowest index")
        << QByteArray("<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2010-03-19\"><Page imageFilename=\"page.png\" "
                      "imageWidth=\"80\" imageHeight=\"40\"><TextRegion><TextLine><Word><Glyph id=\"a\"><Coords><Point x=\"10\" y=\"10\"/>"
                      "<Point x=\"22\" y=\"10\"/><Point x=\"22\" y=\"30\"/><Point x=\"10\" y=\"30\"/></Coords>"
                      "<TextEquiv index=\"2\"><Unicode>x</Unicode></TextEquiv><TextEquiv index=\"1\"><Unicode>k</Unicode></TextEquiv>"
                      "</Glyph><Glyph id=\"b\"><Coords points=\"1,1 2,2\"/></Glyph></Word></TextLine></TextRegion></Page></PcGts>")
        << QStringLiteral("k:1") << QStringLiteral("Glyph b: no text");
    QTest::newRow("ALTO v4")
        << QByteArray("<alto xmlns=\"http://www.loc.gov/standards/alto/ns-v4#\"><Description><MeasurementUnit>pixel</MeasurementUnit>"
                      "<sourceImageInformation><fileName>page.png</fileName></sourceImageInformation></Description><Layout>"
                      "<Page WIDTH=\"80\" HEIGHT=\"40\"><PrintSpace><TextBlock><TextLine HPOS=\"10\" VPOS=\"10\" WIDTH=\"50\" HEIGHT=\"20\" "
                      "BASELINE=\"28\"><String CONTENT=\"ck\"><Glyph CONTENT=\"ck\" HPOS=\"10\" VPOS=\"10\" WIDTH=\"12\" HEIGHT=\"20\"/>"
                      "<Glyph CONTENT=\"a\" HPOS=\"24\" VPOS=\"10\" WIDTH=\"x\" HEIGHT=\"20\"/></String></TextLine></TextBlock>"
                      "</PrintSpace></Page></Layout></alto>")
        << QStringLiteral("ck:1") << QStringLiteral("Glyph (no ID): HPOS, VPOS, WIDTH or HEIGHT missing or not a number");
}

void tst_ImportPage::letters()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, letters);
    QFETCH(QString, passedOver);

    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("page.xml")), xml));
    Scans::ScanPage page;
    QString error;
    QVERIFY2(Scans::readPageFile(dir.filePath(QStringLiteral("page.xml")), &page, &error), qPrintable(error));
    QCOMPARE(page.imagePath, dir.filePath(QStringLiteral("page.png")));
    QCOMPARE(page.imageSize, QSize(80, 40));
    QCOMPARE(page.passedOver.join(QLatin1Char('|')), passedOver);
    Scans::ScanFont scanned{Scans::ScanSettings()};
    scanned.addPage(page, pageImage({80, 40}, {}).convertToFormat(QImage::Format_Grayscale8));
    const std::unique_ptr<Models::Font> font(scanned.font(QStringLiteral("f")));
    QStringList found;
    for (const Models::Character *letter : font->getCharacters()) {
        found.append(QStringLiteral("%1:%2").arg(letter->getCharacterValue()).arg(letter->pictureCount()));
    }
    QCOMPARE(found.join(QLatin1Char(' ')), letters);
}

// Two "g"s on lines of different heights and with boxes reaching differently far: one canvas, one baseline.
void tst_ImportPage::commonCanvas_data()
{
    QTest::addColumn<bool>("givenBaselines");
    QTest::newRow("Baseline elements") << true;
    QTest::newRow("estimated from the line's glyphs") << false;
}

void tst_ImportPage::commonCanvas()
{
    QFETCH(bool, givenBaselines);

    // Ink of "a" and "n" ends on the baselines, rows 40 and 100; the "g"s reach 6 rows below.
    const QVector<FixtureGlyph> glyphs{{QStringLiteral("a"), {10, 20, 10, 24}, 0, 0},  {QStringLiteral("g"), {22, 20, 10, 30}, 0, 0},
                                       {QStringLiteral("n"), {34, 20, 10, 24}, 0, 0},  {QStringLiteral("n"), {10, 76, 10, 28}, 1, 1},
                                       {QStringLiteral("g"), {24, 74, 10, 36}, 1, 1},  {QStringLiteral("a"), {38, 76, 10, 28}, 1, 1}};
    QImage image = pageImage({80, 120}, glyphs);
    const QVector<int> baselines = givenBaselines ? QVector<int>{42, 102} : QVector<int>{-1, -1};
    QString error;
    const std::unique_ptr<Models::Font> font = importFixture(image, pageXml(QStringLiteral("page.png"), image.size(), glyphs, baselines), &error);
    QVERIFY2(font, qPrintable(error));
    const Models::Character *g = font->getCharacter(QStringLiteral("g"));
    QVERIFY(g);
    QCOMPARE(g->pictureCount(), 2);
    const QImage first = g->getPictures().at(0)->getImage();
    const QImage second = g->getPictures().at(1)->getImage();
    QCOMPARE(first.size(), second.size());
    // Both "g"s reach 6 rows under their baselines.
    const int baseLine = int(g->getBaseLine());
    for (const QImage &picture : {first, second}) {
        QVERIFY(alphaAt(picture, 4, baseLine + 5) > 200);
        QCOMPARE(alphaAt(picture, 4, baseLine + 6), 0);
    }
    const Models::Character *a = font->getCharacter(QStringLiteral("a"));
    const QImage aPicture = a->getPictures().at(0)->getImage();
    QVERIFY(alphaAt(aPicture, 4, int(a->getBaseLine()) - 1) > 200);
    QCOMPARE(alphaAt(aPicture, 4, int(a->getBaseLine())), 0);
    QCOMPARE(g->getLeftLine(), 0.0);
    // The "g" is followed by the "n" 12 pixels on in the first line, by the "a" 14 in the second: the median of two is the larger.
    QCOMPARE(g->getRightLine(), 14.0);
    QCOMPARE(g->getBaseLine() - g->getUpLine(), a->getBaseLine() - a->getUpLine());
}

// Paper of any shade, even or not, comes out transparent; ink opaque.
void tst_ImportPage::paperLevel_data()
{
    QTest::addColumn<int>("left");  // paper grey at the left edge
    QTest::addColumn<int>("right"); // and at the right
    QTest::addColumn<bool>("binarize");
    QTest::newRow("white") << 255 << 255 << false;
    QTest::newRow("grey gradient") << 250 << 140 << false;
    QTest::newRow("dark paper") << 150 << 150 << false;
    QTest::newRow("grey gradient, Otsu") << 250 << 140 << true;
}

void tst_ImportPage::paperLevel()
{
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(bool, binarize);

    QVector<FixtureGlyph> glyphs;
    for (int i = 0; i < 12; ++i) {
        glyphs.append({QString(QChar('a' + i)), {10 + i * 30, 20, 20, 30}, 0, i});
    }
    QImage image(400, 70, QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x) {
        const int grey = left + (right - left) * x / (image.width() - 1);
        for (int y = 0; y < image.height(); ++y) {
            // A little noise, as paper has.
            const int noisy = qBound(0, grey + ((x * 7 + y * 13) % 9) - 4, 255);
            image.setPixel(x, y, qRgb(noisy, noisy, noisy));
        }
    }
    QPainter painter(&image);
    for (const FixtureGlyph &glyph : glyphs) {
        painter.fillRect(QRect(glyph.box.left() + 5, glyph.box.top() + 5, 8, 20), QColor(30, 30, 30));
    }
    painter.end();
    QString error;
    const std::unique_ptr<Models::Font> font = importFixture(image, pageXml(QStringLiteral("page.png"), image.size(), glyphs, {50}), &error,
                                                             binarize ? Scans::InkMode::Otsu : Scans::InkMode::Coverage);
    QVERIFY2(font, qPrintable(error));
    qint64 paperSum = 0;
    qint64 paperCount = 0;
    for (const Models::Character *letter : font->getCharacters()) {
        const QImage picture = letter->getPictures().first()->getImage();
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const bool ink = x >= 5 && x < 13 && y >= 5 && y < 25;
                if (ink) {
                    QVERIFY2(alphaAt(picture, x, y) >= 250, qPrintable(QStringLiteral("%1 at %2,%3").arg(letter->getCharacterValue()).arg(x).arg(y)));
                } else {
                    paperSum += alphaAt(picture, x, y);
                    ++paperCount;
                }
            }
        }
    }
    QVERIFY2(paperSum < paperCount * 255 / 100, qPrintable(QStringLiteral("mean paper alpha %1").arg(double(paperSum) / paperCount)));
}

void tst_ImportPage::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("error");

    QTest::newRow("not PAGE or ALTO") << QByteArray("<html><body/></html>")
                                      << QStringLiteral("1:6: the root element is \"html\", neither PAGE-XML (PcGts) nor ALTO (alto)");
    QTest::newRow("PAGE name, other namespace") << QByteArray("<PcGts xmlns=\"urn:x\"/>")
                                                << QStringLiteral("1:22: the root element is \"PcGts\" in urn:x, neither PAGE-XML (PcGts) nor ALTO (alto)");
    QTest::newRow("entities") << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE PcGts [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;\">]>\n"
                                            "<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2019-07-15\">&b;</PcGts>")
                              << QStringLiteral("2:64: a document type that declares entities; not read");
    QByteArray deep = "<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2019-07-15\"><Page>";
    deep += QByteArray("<TextRegion>").repeated(100) + QByteArray("</TextRegion>").repeated(100) + "</Page></PcGts>";
    QTest::newRow("deep nesting") << deep << QStringLiteral("1:841: elements nested more than 64 deep");
    QTest::newRow("not well-formed") << QByteArray("<alto><Layout></alto>")
                                     << QStringLiteral("1:21: Opening and ending tag mismatch.");
    QTest::newRow("ALTO in tenths of a millimetre")
        << QByteArray("<alto xmlns=\"http://www.loc.gov/standards/alto/ns-v3#\"><Description><MeasurementUnit>mm10</MeasurementUnit>"
                      "</Description></alto>")
        << QStringLiteral("1:107: ALTO lengths in \"mm10\"; only pixel is read");
    QTest::newRow("PAGE without Page") << QByteArray("<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2013-07-15\"/>")
                                       << QStringLiteral("1:80: PAGE-XML without a Page element");
}

void tst_ImportPage::refusedFiles()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, error);

    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(QStringLiteral("page.xml")), xml));
    Scans::ScanPage page;
    QString found;
    QVERIFY(!Scans::readPageFile(dir.filePath(QStringLiteral("page.xml")), &page, &found));
    QCOMPARE(found, error);
}

// What oftool says, line by line, of inputs it refuses or passes over in part.
void tst_ImportPage::oftoolRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("boxes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");

    const QVector<FixtureGlyph> inside{{QStringLiteral("a"), {10, 10, 12, 20}, 0, 0}};
    QVector<FixtureGlyph> outside = inside;
    outside.append({QStringLiteral("b"), {70, 10, 20, 20}, 0, 0});
    outside.append({QStringLiteral("c"), {200, 10, 10, 20}, 0, 0});
    QTest::newRow("size mismatch") << QStringList{QStringLiteral("import-page"), QStringLiteral("page.xml"), QStringLiteral("-o"), QStringLiteral("f.of")}
                                   << pageXml(QStringLiteral("page.png"), {80, 41}, inside, {-1}) << QByteArray() << 2
                                   << QByteArray("oftool import-page: page.xml: the image DIR/page.png is 80 x 40 pixels, the file says 80 x 41\n"
                                                 "oftool import-page: nothing written\n");
    QTest::newRow("outside the image") << QStringList{QStringLiteral("import-page"), QStringLiteral("page.xml"), QStringLiteral("-o"), QStringLiteral("f.of")}
                                       << pageXml(QStringLiteral("page.png"), {80, 40}, outside, {-1}) << QByteArray() << 0
                                       << QByteArray("oftool import-page: page.xml: passed over \"c\" at 200,10: outside the image\n");
    QTest::newRow("missing image") << QStringList{QStringLiteral("import-page"), QStringLiteral("page.xml"), QStringLiteral("-o"), QStringLiteral("f.of")}
                                   << pageXml(QStringLiteral("none.png"), {80, 40}, inside, {-1}) << QByteArray() << 2
                                   << QByteArray("oftool import-page: page.xml: cannot read the image DIR/none.png: no such file\n"
                                                 "oftool import-page: nothing written\n");
    QTest::newRow("box lines") << QStringList{QStringLiteral("import-boxes"), QStringLiteral("page.png"), QStringLiteral("page.box"), QStringLiteral("-o"), QStringLiteral("f.of")}
                               << QByteArray() << QByteArray("a 10 10 22 30 0\nWordStr 1 2 3 4 0 #a\nb 1 2 x 4 0\nc 1 2\n") << 0
                               << QByteArray("oftool import-boxes: page.box: passed over line 3: \"x\" is not a number\n"
                                             "oftool import-boxes: page.box: passed over line 4: not TEXT LEFT BOTTOM RIGHT TOP PAGE\n");
    QTest::newRow("-o and --into") << QStringList{QStringLiteral("import-page"), QStringLiteral("page.xml"), QStringLiteral("-o"), QStringLiteral("f.of"),
                                                  QStringLiteral("--into"), QStringLiteral("g.of")}
                                   << QByteArray() << QByteArray() << 1
                                   << QByteArray("oftool import-page: --into writes the font it names; -o does not go with it\n"
                                                 "Try 'oftool import-page --help'.\n");
}

void tst_ImportPage::oftoolRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, boxes);
    QFETCH(int, status);
    QFETCH(QByteArray, err);

    QTemporaryDir dir;
    QVERIFY(pageImage({80, 40}, {{QStringLiteral("a"), {10, 10, 12, 20}, 0, 0}}).save(dir.filePath(QStringLiteral("page.png"))));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("page.xml")), xml));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("page.box")), boxes));
    const OftoolRun run = runOftool(arguments, dir.path());
    QCOMPARE(run.err, QByteArray(err).replace("DIR", dir.path().toUtf8()));
    QCOMPARE(run.status, status);
    QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("f.of.metrics.json"))), status == 0);
}

// Box coordinates count from the bottom left; the picture is the same as the PAGE-XML box gives.
void tst_ImportPage::boxFile()
{
    const QVector<FixtureGlyph> glyphs{{QStringLiteral("a"), {10, 10, 12, 20}, 0, 0}, {QStringLiteral("b"), {24, 10, 12, 20}, 0, 0}};
    const QImage image = pageImage({80, 40}, glyphs);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(QStringLiteral("page.box")), "a 10 10 22 30 0\nb 24 10 36 30 0\n"));
    Scans::BoxFile boxes;
    QString error;
    QVERIFY2(Scans::readBoxFile(dir.filePath(QStringLiteral("page.box")), &boxes, &error), qPrintable(error));
    const Scans::ScanPage page = Scans::boxPage(boxes, 0, image.size());
    QCOMPARE(page.glyphs.size(), 2);
    QCOMPARE(page.glyphs.at(0).outline.boundingRect(), QRect(10, 10, 13, 21));
    QCOMPARE(page.glyphs.at(1).word, page.glyphs.at(0).word);
    QCOMPARE(page.lines.size(), 1);
}

// A line composed from a 1-bit font, imported back. Its glyphs are opaque, so the page holds exactly 0 and 255:
// the import's paper and ink levels are then 255 and 0 and its mapping gives back each glyph's alpha exactly,
// which an antialiased font would not (its ink level is a median of partly covered pixels).
// The letters of the text stand apart: compose's boxes are its pictures, which overlap where letters are set
// tight, and a box holding a neighbour's ink would be cut with it.
// Every picture, cut to its ink, must equal the rendered picture cut to its ink (the import leaves out transparent
// columns and rows at the right and bottom), and stand as high above the baseline and as far right of the pen.
void tst_ImportPage::composedRoundTrip_data()
{
    QTest::addColumn<QStringList>("import");
    QTest::newRow("PAGE-XML") << QStringList{QStringLiteral("import-page"), QStringLiteral("out/000000.xml")};
    QTest::newRow("box file") << QStringList{QStringLiteral("import-boxes"), QStringLiteral("out/000000.png"), QStringLiteral("out/000000.box")};
}

void tst_ImportPage::composedRoundTrip()
{
    QFETCH(QStringList, import);

    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("line.txt")), "Bei uns 1784: Hund mit Hemd\n"));
    const OftoolRun render = runOftool({"render", "--family", "DejaVu Sans", "--style", "Book", "--px", "24", "--chars", "32-126",
                                        "--antialias", "off", "--fit", "ink", "--anchors", "pixels", "--metrics", "--output", "sans.of"},
                                       dir.path());
    QVERIFY2(render.status == 0, render.err.constData());
    const OftoolRun compose = runOftool({"compose", "sans.of", "--text", "line.txt", "--margin", "6", "--page-xml", "--boxes", "tesseract",
                                         "--output", "out"}, dir.path());
    QVERIFY2(compose.status == 0, compose.err.constData());
    const OftoolRun imported = runOftool(import + QStringList{QStringLiteral("-o"), QStringLiteral("back.of")}, dir.path());
    QVERIFY2(imported.status == 0 && imported.err.isEmpty(), imported.err.constData());

    const std::unique_ptr<Models::Font> source(IOManager::FontFileManager::fontFromFile(dir.filePath(QStringLiteral("sans.of"))));
    const std::unique_ptr<Models::Font> back(IOManager::FontFileManager::fontFromFile(dir.filePath(QStringLiteral("back.of"))));
    QVERIFY(source && back);
    int pictures = 0;
    for (const Models::Character *letter : back->getCharacters()) {
        const Models::Character *original = source->getCharacter(letter->getCharacterValue());
        QVERIFY(original);
        const QImage expected = original->getPictures().first()->getImage().convertToFormat(QImage::Format_Alpha8);
        const QRect expectedInk = inkRect(expected);
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            const QImage alpha = picture->getImage().convertToFormat(QImage::Format_Alpha8);
            const QRect ink = inkRect(alpha);
            const QString where = letter->getCharacterValue() + QStringLiteral(" picture %1").arg(picture->getId());
            QVERIFY2(alpha.copy(ink) == expected.copy(expectedInk), qPrintable(where));
            QVERIFY2(ink.top() - letter->getBaseLine() == expectedInk.top() - original->getBaseLine(), qPrintable(where));
            // The box's left edge, the picture's column 0, is the pen origin of the import.
            QVERIFY2(ink.left() - letter->getLeftLine() == expectedInk.left(), qPrintable(where));
            ++pictures;
        }
    }
    QCOMPARE(pictures, 22);
}

// The shared page. Its outlines fit the ink closely, so their border rows and columns hold ink as well as paper:
// the pixels there on the paper side of the page's ink/paper split must come out nearly transparent.
void tst_ImportPage::sharedPage()
{
    const QString shared = qEnvironmentVariableIsSet("QMF_SHARED_DIR") ? qEnvironmentVariable("QMF_SHARED_DIR")
                                                                       : QStringLiteral(QMF_SOURCE_DIR "/../shared");
    const QString path = shared + QStringLiteral("/scans/kant_1784_p0020.xml");
    if (!QFileInfo::exists(path)) {
        QSKIP("../shared/scans is absent: the shared page is not checked");
    }
    Scans::ScanPage page;
    QString error;
    QVERIFY2(Scans::readPageFile(path, &page, &error), qPrintable(error));
    const QImage grey = Scans::loadScanImage(page.imagePath, 0, &error);
    QVERIFY2(!grey.isNull(), qPrintable(error));
    QCOMPARE(grey.size(), page.imageSize);
    QCOMPARE(page.glyphs.size(), 1120);
    const int split = Scans::inkLevels(grey, grey.rect()).threshold;
    qint64 sum = 0;
    qint64 count = 0;
    for (const Scans::ScanGlyph &glyph : qAsConst(page.glyphs)) {
        const QRect box = glyph.outline.boundingRect().adjusted(0, 0, -1, -1) & grey.rect();
        const QImage alpha = Scans::cutGlyph(grey, glyph.outline, box, Scans::InkMode::Coverage);
        for (int y = 0; y < box.height(); ++y) {
            for (int x = 0; x < box.width(); ++x) {
                const bool border = y == 0 || x == 0 || y == box.height() - 1 || x == box.width() - 1;
                if (border && grey.constScanLine(box.top() + y)[box.left() + x] > split) {
                    sum += alpha.constScanLine(y)[x];
                    ++count;
                }
            }
        }
    }
    QVERIFY2(count > 10000 && sum < count * 255 / 10,
             qPrintable(QStringLiteral("mean alpha of %1 paper pixels %2 %").arg(count).arg(100.0 * sum / count / 255)));
    Scans::ScanFont font{Scans::ScanSettings()};
    const Scans::PageCounts counts = font.addPage(page, grey);
    QCOMPARE(counts.glyphs, 1120);
    QCOMPARE(counts.baselinesEstimated, 31);
}

QTEST_MAIN(tst_ImportPage)
#include "tst_importpage.moc"
