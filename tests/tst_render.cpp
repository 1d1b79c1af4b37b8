#include "glyphrenderer.h"
#include "installedfonts.h"
#include "producefontfile.h"

#include "glyphmetrics.h"
#include "rendersettings.h"

#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include "fontfiles.h"
#include "pairkerning.h"
#include "referencewriter.h"
#include "stderrcapture.h"
#include "testfiles.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QFontInfo>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Models::Character;
using Models::CharacterPicture;
using Models::Font;

namespace {

QFont dejaVuSans(const QString &style, int size)
{
    return InstalledFonts::font(QStringLiteral("DejaVu Sans"), style, size);
}

QString expectedCharacters()
{
    QString set;
    for (ushort u = 0x21; u <= 0x7E; ++u) {
        set += QChar(u);
    }
    for (ushort u : {0xA8, 0xE9, 0xE8, 0xE7, 0xE0}) {
        set += QChar(u);
    }
    return set;
}

// The ascent in whole pixels, rounded up: Qt 5's own, and what the renderer takes under Qt 6.
int rowsAbove(const QFont &font)
{
    return qCeil(QFontMetricsF(font).ascent());
}

bool hasInk(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                return true;
            }
        }
    }
    return false;
}

QStringList &qtMessages()
{
    static QStringList messages;
    return messages;
}

// Replaces the test logger's handler, which would print Qt's warnings without failing the test.
void recordQtMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    qtMessages().append(message);
}

RenderSettings inkFit(bool metrics = false)
{
    RenderSettings settings;
    settings.fit = RenderSettings::Fit::Ink;
    settings.metrics = metrics;
    return settings;
}

const LetterGeometry *geometryOf(const FontGeometry &geometry, const QString &letter)
{
    for (const LetterGeometry &placed : geometry.letters) {
        if (placed.letter == letter) {
            return &placed;
        }
    }
    return nullptr;
}

// letter in black on a canvas so large that nothing is cut off, the pen at origin.
QImage drawnWhole(const QFont &font, const QString &letter, const QPoint &origin)
{
    // Premultiplied transparent black: the window's transparent white turns edge pixels grey, and their alpha with them.
    QImage canvas(8 * QFontMetrics(font).height(), 4 * QFontMetrics(font).height(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(0);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(QPen(QColor(Qt::black)));
    painter.drawText(origin, letter);
    return canvas;
}

// The ink of the glyph the font maps letter to, drawn alone where nothing cuts it off; relative to the pen.
QRect wholeGlyphInk(const QFont &font, const QString &letter)
{
    QImage canvas(8 * QFontMetrics(font).height(), 8 * QFontMetrics(font).height(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(0);
    const QRawFont raw = QRawFont::fromFont(QFont(font, &canvas));
    QGlyphRun glyph;
    glyph.setRawFont(raw);
    glyph.setGlyphIndexes(raw.glyphIndexesForString(letter));
    glyph.setPositions({QPointF(0, 0)});
    const QPoint pen(canvas.width() / 2, canvas.height() / 2);
    QPainter painter(&canvas);
    painter.setPen(QPen(QColor(Qt::black)));
    painter.drawGlyphRun(pen, glyph);
    painter.end();
    return inkRect(canvas).translated(-pen);
}

} // namespace

class tst_Render : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void glyphImages_data();
    void glyphImages();
    void baselineAtAscent();
    void fileMatchesModel();
    void repeatable();
    void notWritten_data();
    void notWritten();
    void noInk_data();
    void noInk();
    void largestFittingSize_data();
    void largestFittingSize();
    void inkFitKeepsEveryPixel_data();
    void inkFitKeepsEveryPixel();
    void settingsKeepWindowBytes_data();
    void settingsKeepWindowBytes();
    void metricsAgreeWithQt();
    void kerningWithoutLigatures_data();
    void kerningWithoutLigatures();
    void kerningOfEveryPair_data();
    void kerningOfEveryPair();
    void pixelAnchors_data();
    void pixelAnchors();
    void inkFitBudget();
    void inkFitWithoutInk();
    void combiningMarks_data();
    void combiningMarks();
    void clippedLetters_data();
    void clippedLetters();
    void matchesQt5_data();
    void matchesQt5();
};

void tst_Render::initTestCase()
{
    QVERIFY2(InstalledFonts::families().contains(QStringLiteral("DejaVu Sans")),
             "DejaVu Sans is not installed (scripts/setup.sh installs fonts-dejavu-core)");
}

void tst_Render::glyphImages_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("size");
    QTest::newRow("Book 12") << QStringLiteral("Book") << 12;
    QTest::newRow("Book 32") << QStringLiteral("Book") << 32;
    QTest::newRow("Bold 72") << QStringLiteral("Bold") << 72;
}

void tst_Render::glyphImages()
{
    QFETCH(QString, style);
    QFETCH(int, size);
    const QFont font = dejaVuSans(style, size);
    const QFontMetrics metrics(font);
    const int height = rowsAbove(font) + qCeil(QFontMetricsF(font).descent());

    Font docFont(QStringLiteral("name"));
    QVERIFY(renderGlyphs(font, &docFont));
    QCOMPARE(docFont.getCharacters().size(), 100);

    const QString characters = expectedCharacters();
    QCOMPARE(characters.size(), 99);
    int widthSum = 0;
    for (const QChar c : characters) {
        const Character *letter = docFont.getCharacter(QString(c));
        QVERIFY2(letter, qPrintable(QString(c)));
        QCOMPARE(letter->getUpLine(), 0.0);
        QCOMPARE(letter->getBaseLine(), 100.0);
        QCOMPARE(letter->getLeftLine(), 0.0);
        QCOMPARE(letter->getRightLine(), 100.0);
        QCOMPARE(letter->pictureCount(), 1);
        const CharacterPicture *picture = letter->getPictures().first();
        QCOMPARE(picture->getId(), 0);
        QCOMPARE(picture->getDegradationLevel(), 0.0f);

        const QImage image = picture->getImage();
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        QCOMPARE(image.height(), height);
        QCOMPARE(image.width(), metrics.horizontalAdvance(c));
        widthSum += image.width();

        QVERIFY2(hasInk(image), qPrintable(QString(c)));
        // Where the glyph left the pixel alone it keeps the transparent white background.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 0 && pixel != 0x00FFFFFFu) {
                    QFAIL(qPrintable(QStringLiteral("%1 at %2,%3: %4").arg(c).arg(x).arg(y).arg(pixel, 8, 16)));
                }
            }
        }
    }
    QVERIFY(docFont.getCharacter(QStringLiteral("i"))->getPictures().first()->getImage().width()
            < docFont.getCharacter(QStringLiteral("W"))->getPictures().first()->getImage().width());

    const Character *space = docFont.getCharacter(QStringLiteral(" "));
    QVERIFY(space);
    QCOMPARE(space->getBaseLine(), 100.0);
    QCOMPARE(space->getRightLine(), 100.0);
    QCOMPARE(space->pictureCount(), 1);
    QCOMPARE(space->getPictures().first()->getId(), 0);
    const QImage spaceImage = space->getPictures().first()->getImage();
    QCOMPARE(spaceImage.format(), QImage::Format_ARGB32);
    QCOMPARE(spaceImage.width(), widthSum / 99);
    QCOMPARE(spaceImage.height(), height);
    for (int y = 0; y < spaceImage.height(); ++y) {
        for (int x = 0; x < spaceImage.width(); ++x) {
            QCOMPARE(spaceImage.pixel(x, y), 0u);
        }
    }
}

void tst_Render::baselineAtAscent()
{
    const QFont font = dejaVuSans(QStringLiteral("Book"), 48);
    const int ascent = rowsAbove(font);
    Font docFont(QStringLiteral("name"));
    QVERIFY(renderGlyphs(font, &docFont));

    // "H" sits on the baseline, "p" reaches below it: every glyph is drawn with its baseline on row ascent.
    const QImage h = docFont.getCharacter(QStringLiteral("H"))->getPictures().first()->getImage();
    const QImage p = docFont.getCharacter(QStringLiteral("p"))->getPictures().first()->getImage();
    auto lowestInkRow = [](const QImage &image) {
        for (int y = image.height() - 1; y >= 0; --y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) > 128) {
                    return y;
                }
            }
        }
        return -1;
    };
    QVERIFY2(qAbs(lowestInkRow(h) - (ascent - 1)) <= 1, qPrintable(QString::number(lowestInkRow(h))));
    QVERIFY(lowestInkRow(p) > ascent + 2);
    // The stems of "H" are solid black.
    int solid = 0;
    for (int y = 0; y < h.height(); ++y) {
        for (int x = 0; x < h.width(); ++x) {
            solid += h.pixel(x, y) == 0xFF000000u;
        }
    }
    QVERIFY(solid > ascent);
}

void tst_Render::fileMatchesModel()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("out.of"));
    const QString name = QStringLiteral("DejaVu_Sans__Book__32.of");
    const QFont font = dejaVuSans(QStringLiteral("Book"), 32);

    QVERIFY(produceFontFile(font, name, path));

    Font expected(name);
    QVERIFY(renderGlyphs(font, &expected));
    const QByteArray bytes = readAll(path);
    QCOMPARE(bytes, referenceFontBytes(expected));
    QVERIFY(bytes.contains("\n<font name=\"DejaVu_Sans__Book__32.of\">\n  <letter char=\" \">\n"));
    QCOMPARE(bytes.count("<letter "), 100);
}

void tst_Render::repeatable()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QFont font = dejaVuSans(QStringLiteral("Bold"), 20);
    const QString first = dir.filePath(QStringLiteral("first.of"));
    const QString second = dir.filePath(QStringLiteral("second.of"));
    QVERIFY(produceFontFile(font, QStringLiteral("n.of"), first));
    QVERIFY(produceFontFile(font, QStringLiteral("n.of"), second));
    QCOMPARE(readAll(second), readAll(first));
}

void tst_Render::notWritten_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("warning");
    QTest::newRow("missing folder") << "missing/out.of" << 12
                                    << QByteArray("Warning: unable to open output font file: ");
    // About 5 GB of glyph images.
    QTest::newRow("too large") << "huge.of" << 5000 << QByteArray("Warning: glyphs too large for output font file: ");
}

void tst_Render::notWritten()
{
    QFETCH(QString, file);
    QFETCH(int, size);
    QFETCH(QByteArray, warning);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(file);

    StderrCapture capture;
    const bool written = produceFontFile(dejaVuSans(QStringLiteral("Book"), size), QStringLiteral("n.of"), path);
    const QByteArray messages = capture.text();
    QVERIFY(!written);
    QCOMPARE(messages, warning + path.toUtf8() + "\n");
    QVERIFY(!QFile::exists(path));
}

void tst_Render::noInk_data()
{
    QTest::addColumn<QStringList>("letters");
    QTest::addColumn<int>("size");
    // The least number of letters of zero size, and of letters with pixels that are all transparent.
    QTest::addColumn<int>("zeroSize");
    QTest::addColumn<int>("transparent");
    // At 1 pt the narrow letters have no width at all.
    QTest::newRow("99 letters at 1 pt") << defaultLetters() << 1 << 1 << 0;
    QTest::newRow("no-break space, zero width space")
        << QStringList{QStringLiteral("A"), QStringLiteral("\u00A0"), QStringLiteral("\u200B"), QStringLiteral("B")}
        << 24 << 1 << 1;
}

void tst_Render::noInk()
{
    QFETCH(QStringList, letters);
    QFETCH(int, size);
    QFETCH(int, zeroSize);
    QFETCH(int, transparent);
    Font docFont(QStringLiteral("n.of"));
    QStringList emptyLetters(QStringLiteral("left over"));

    qtMessages().clear();
    const QtMessageHandler testLogger = qInstallMessageHandler(recordQtMessage);
    StderrCapture capture;
    const bool rendered = renderGlyphs(dejaVuSans(QStringLiteral("Book"), size), letters, &docFont, &emptyLetters);
    const QByteArray messages = capture.text();
    qInstallMessageHandler(testLogger);

    QVERIFY(rendered);
    QCOMPARE(qtMessages(), QStringList());
    QCOMPARE(messages, QByteArray());
    QCOMPARE(docFont.getCharacters().size(), letters.size() + 1);
    QStringList withoutInk;
    int withoutPixels = 0;
    for (const QString &letter : letters) {
        const QImage image = docFont.getCharacter(letter)->getPictures().first()->getImage();
        withoutPixels += image.isNull();
        if (!hasInk(image)) {
            withoutInk.append(letter);
        }
    }
    QCOMPARE(emptyLetters, withoutInk);
    QVERIFY(withoutPixels >= zeroSize);
    QVERIFY(withoutInk.size() - withoutPixels >= transparent);
}

void tst_Render::largestFittingSize_data()
{
    QTest::addColumn<QStringList>("letters");
    QTest::addColumn<bool>("capped");
    QTest::newRow("99 letters") << defaultLetters() << false;
    QTest::newRow("one letter") << QStringList(QStringLiteral("W")) << true;
}

void tst_Render::largestFittingSize()
{
    QFETCH(QStringList, letters);
    QFETCH(bool, capped);
    const QString style = QStringLiteral("Book");
    const int size = largestFittingPointSize(dejaVuSans(style, 12), letters);
    QCOMPARE(size == 1024, capped);
    QVERIFY(size >= 1);

    Font fitting(QStringLiteral("n.of"));
    QVERIFY(renderGlyphs(dejaVuSans(style, size), letters, &fitting));
    if (!capped) {
        Font refused(QStringLiteral("n.of"));
        QVERIFY(!renderGlyphs(dejaVuSans(style, size + 1), letters, &refused));
    }
}

void tst_Render::inkFitKeepsEveryPixel_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("padding");
    QTest::newRow("Sans 16") << QStringLiteral("DejaVu Sans") << QStringLiteral("Book") << 16 << 1;
    QTest::newRow("Sans 32") << QStringLiteral("DejaVu Sans") << QStringLiteral("Book") << 32 << 1;
    QTest::newRow("Serif Italic 16") << QStringLiteral("DejaVu Serif") << QStringLiteral("Italic") << 16 << 1;
    QTest::newRow("Serif Italic 32, padding 0") << QStringLiteral("DejaVu Serif") << QStringLiteral("Italic") << 32 << 0;
    QTest::newRow("Serif Italic 32, padding 3") << QStringLiteral("DejaVu Serif") << QStringLiteral("Italic") << 32 << 3;
}

void tst_Render::inkFitKeepsEveryPixel()
{
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(int, size);
    QFETCH(int, padding);
    const QFont font = InstalledFonts::font(family, style, size);
    QVERIFY2(QFontInfo(font).styleName() == style, "fonts-dejavu-extra is missing (scripts/setup.sh installs it)");
    RenderSettings settings = inkFit();
    settings.padding = padding;
    Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    QVERIFY(renderGlyphs(font, defaultLetters(), settings, &docFont, &geometry));
    QCOMPARE(geometry.letters.size(), 100);

    const QPoint penOnCanvas(3 * QFontMetrics(font).height(), 2 * QFontMetrics(font).height());
    for (const QString &letter : defaultLetters()) {
        const QImage image = docFont.getCharacter(letter)->getPictures().first()->getImage();
        const LetterGeometry *placed = geometryOf(geometry, letter);
        QVERIFY(placed);
        QCOMPARE(image.size(), placed->image);
        // Ink and padding exactly: the padding is clear, and the ink touches it on every side.
        QCOMPARE(inkRect(image), image.rect().adjusted(padding, padding, -padding, -padding));
        QCOMPARE(placed->ink, inkRect(image).translated(-placed->origin));

        const QImage whole = drawnWhole(font, letter, penOnCanvas);
        const QRect wholeInk = inkRect(whole);
        QCOMPARE(wholeInk.size(), placed->ink.size());
        const QPoint shift = placed->origin - penOnCanvas;
        for (int y = wholeInk.top(); y <= wholeInk.bottom(); ++y) {
            for (int x = wholeInk.left(); x <= wholeInk.right(); ++x) {
                const QRgb pixel = image.pixel(x + shift.x(), y + shift.y());
                if (qAlpha(pixel) != qAlpha(whole.pixel(x, y)) || qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)) != qRgb(0, 0, 0)) {
                    QFAIL(qPrintable(QStringLiteral("%1 at %2,%3: %4, drawn whole %5").arg(letter).arg(x).arg(y)
                                         .arg(pixel, 8, 16).arg(whole.pixel(x, y), 8, 16)));
                }
            }
        }
    }
}

void tst_Render::combiningMarks_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<bool>("spacing"); // a spacing mark (Mc) advances the pen, a non-spacing one (Mn) does not
    QTest::addColumn<bool>("ink");
    const QString dejaVu = QStringLiteral("DejaVu Sans");
    const QString noto = QStringLiteral("Noto Sans Devanagari");
    for (const bool ink : {false, true}) {
        const char *fit = ink ? ", ink" : ", line box";
        QTest::addRow("U+0301 %s%s", qPrintable(dejaVu), fit) << dejaVu << QStringLiteral("Book") << QStringLiteral("\u0301") << false << ink;
        QTest::addRow("U+093E %s%s", qPrintable(noto), fit) << noto << QStringLiteral("Regular") << QStringLiteral("\u093E") << true << ink;
        QTest::addRow("U+0902 %s%s", qPrintable(noto), fit) << noto << QStringLiteral("Regular") << QStringLiteral("\u0902") << false << ink;
        QTest::addRow("U+093C %s%s", qPrintable(noto), fit) << noto << QStringLiteral("Regular") << QStringLiteral("\u093C") << false << ink;
    }
}

void tst_Render::combiningMarks()
{
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(QString, mark);
    QFETCH(bool, spacing);
    QFETCH(bool, ink);
    if (!InstalledFonts::families().contains(family)) {
        QSKIP("Noto Sans Devanagari is not installed (scripts/setup.sh installs fonts-noto-core)");
    }
    const QFont font = InstalledFonts::font(family, style, 32);
    Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    RenderSettings settings = ink ? inkFit(true) : RenderSettings();
    settings.anchors = RenderSettings::Anchors::Pixels;
    QVERIFY(renderGlyphs(font, {mark}, settings, &docFont, &geometry));
    const LetterGeometry *placed = geometryOf(geometry, mark);
    QVERIFY(placed);
    const QImage image = docFont.getCharacter(mark)->getPictures().first()->getImage();
    QCOMPARE(placed->ink, inkRect(image).translated(-placed->origin));

    // The glyph's ink whole, where the pen puts it, and nothing else: no dotted circle under the mark.
    const QRect whole = wholeGlyphInk(font, mark);
    QVERIFY(!whole.isNull());
    QCOMPARE(placed->ink, whole);
    QCOMPARE(placed->advance, spacing ? QFontMetricsF(font).horizontalAdvance(mark.at(0)) : 0.0);
    QVERIFY(spacing == (placed->advance > 0));
    QVERIFY2(qAbs(placed->leftBearing - whole.left()) <= 1, qPrintable(QString::number(placed->leftBearing)));
}

void tst_Render::clippedLetters_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QStringList>("letters");
    QTest::addColumn<bool>("ink");
    QTest::addColumn<QStringList>("clipped");
    const QString sans = QStringLiteral("DejaVu Sans");
    const QString serif = QStringLiteral("DejaVu Serif");
    QTest::newRow("Sans, inside the line box") << sans << QStringLiteral("Book") << QStringList{"o", "x", "H", "."} << false << QStringList();
    // j reaches left of the pen; the italic f past the advance on both sides.
    QTest::newRow("Sans j") << sans << QStringLiteral("Book") << QStringList{"o", "j"} << false << QStringList{"j"};
    QTest::newRow("Serif Italic f j") << serif << QStringLiteral("Italic") << QStringList{"f", "o", "j"} << false
                                      << QStringList{"f", "j"};
    QTest::newRow("Serif Italic, ink") << serif << QStringLiteral("Italic") << QStringList{"f", "o", "j"} << true << QStringList();
    // Drawn from another font with the advance of none: the whole glyph is lost.
    QTest::newRow("Sans, a mark it lacks") << sans << QStringLiteral("Book") << QStringList{"\u0902"} << false
                                           << QStringList{"\u0902"};
}

void tst_Render::clippedLetters()
{
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(QStringList, letters);
    QFETCH(bool, ink);
    QFETCH(QStringList, clipped);
    const QFont font = InstalledFonts::font(family, style, 32);
    Font docFont(QStringLiteral("n.of"));
    QStringList found{QStringLiteral("stale")};
    QVERIFY(renderGlyphs(font, letters, ink ? inkFit() : RenderSettings(), &docFont, nullptr, nullptr, &found));
    QCOMPARE(found, clipped);
    if (!ink) {
        // The window's bytes all the same.
        Font plain(QStringLiteral("n.of"));
        QVERIFY(renderGlyphs(font, letters, &plain));
        for (const QString &letter : letters) {
            QCOMPARE(docFont.getCharacter(letter)->getPictures().first()->getImage(),
                     plain.getCharacter(letter)->getPictures().first()->getImage());
        }
    }
}

void tst_Render::matchesQt5_data()
{
    QTest::addColumn<QString>("file"); // written by Qt 5's oftool render --dpi 96
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("letters");
    // At 8 px Qt 6's own rounding of the ascent and descent would make every image a row shorter.
    QTest::newRow("DejaVu Sans Book 6 pt") << "sans-book-6.of" << "DejaVu Sans" << 6
                                           << QStringList{"E", "g", "|", QString(QChar(0xC9))};
    // Qt 6.4 draws two edge pixels of this J one step more or less opaque.
    QTest::newRow("DejaVu Serif Book 49 pt") << "serif-book-49.of" << "DejaVu Serif" << 49 << QStringList{"J"};
}

void tst_Render::matchesQt5()
{
    QFETCH(QString, file);
    QFETCH(QString, family);
    QFETCH(int, size);
    QFETCH(QStringList, letters);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(file);
    const QString reference = QStringLiteral(QMF_TEST_DATA "/") + file;
    QVERIFY(produceFontFile(InstalledFonts::font(family, QStringLiteral("Book"), size),
                            defaultFontFileName(family, QStringLiteral("Book"), QString::number(size)), path,
                            letters, nullptr, 96));
    if (QT_VERSION < QT_VERSION_CHECK(6, 0, 0)) {
        QCOMPARE(readAll(path), readAll(reference));
        return;
    }
    // Byte-identical renders need the same Qt version; Qt 6 keeps Qt 5's sizes and baseline, and its
    // anti-aliased edges stay within 4 of 255 in alpha.
    const std::unique_ptr<Font> expected(IOManager::FontFileManager::fontFromFile(reference));
    const std::unique_ptr<Font> drawn(IOManager::FontFileManager::fontFromFile(path));
    QVERIFY(expected && drawn);
    QCOMPARE(drawn->getCharacters().keys(), expected->getCharacters().keys());
    for (const Character *letter : expected->getCharacters()) {
        const QImage want = letter->getPictures().first()->getImage();
        const QImage got = drawn->getCharacter(letter->getCharacterValue())->getPictures().first()->getImage();
        QCOMPARE(got.size(), want.size());
        for (int y = 0; y < want.height(); ++y) {
            for (int x = 0; x < want.width(); ++x) {
                QVERIFY2(qAbs(qAlpha(got.pixel(x, y)) - qAlpha(want.pixel(x, y))) <= 4,
                         qPrintable(QStringLiteral("%1 at %2,%3").arg(letter->getCharacterValue()).arg(x).arg(y)));
            }
        }
    }
}

void tst_Render::settingsKeepWindowBytes_data()
{
    QTest::addColumn<bool>("metrics");
    QTest::addColumn<bool>("pixelAnchors");
    QTest::addColumn<bool>("sameBytes");
    QTest::newRow("default") << false << false << true;
    QTest::newRow("metrics") << true << false << true;
    QTest::newRow("pixel anchors") << false << true << false;
}

void tst_Render::settingsKeepWindowBytes()
{
    QFETCH(bool, metrics);
    QFETCH(bool, pixelAnchors);
    QFETCH(bool, sameBytes);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QFont font = dejaVuSans(QStringLiteral("Book"), 16);
    const QString window = dir.filePath(QStringLiteral("window.of"));
    const QString withSettings = dir.filePath(QStringLiteral("settings.of"));
    QVERIFY(produceFontFile(font, QStringLiteral("n.of"), window));
    RenderSettings settings;
    settings.metrics = metrics;
    settings.anchors = pixelAnchors ? RenderSettings::Anchors::Pixels : RenderSettings::Anchors::Percent;
    FontGeometry geometry;
    QVERIFY(produceFontFile(font, QStringLiteral("n.of"), withSettings, defaultLetters(), settings, &geometry));

    const QByteArray expected = readAll(window);
    const QByteArray bytes = readAll(withSettings);
    QCOMPARE(bytes == expected, sameBytes);
    // Anchors aside, the pictures stay the window's.
    const QRegularExpression anchors(QStringLiteral("<anchor>.*?</anchor>"), QRegularExpression::DotMatchesEverythingOption);
    QCOMPARE(QString::fromUtf8(bytes).remove(anchors), QString::fromUtf8(expected).remove(anchors));
}

void tst_Render::metricsAgreeWithQt()
{
    const QFont font = dejaVuSans(QStringLiteral("Book"), 16);
    const QFontMetricsF qt(font);
    Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    QVERIFY(renderGlyphs(font, defaultLetters(), inkFit(true), &docFont, &geometry));

    QCOMPARE(geometry.ascent, qt.ascent());
    QCOMPARE(geometry.descent, qt.descent());
    QCOMPARE(geometry.lineSpacing, qt.lineSpacing());
    QCOMPARE(geometry.spaceAdvance, qt.horizontalAdvance(QLatin1Char(' ')));
    QCOMPARE(geometryOf(geometry, QStringLiteral("A"))->advance, qt.horizontalAdvance(QStringLiteral("A")));
    QCOMPARE(geometryOf(geometry, QStringLiteral(" "))->advance, geometry.spaceAdvance);
    QVERIFY(geometry.kerningMeasured);
    for (const QString &pair : {QStringLiteral("AV"), QStringLiteral("To")}) {
        const auto found = std::find_if(geometry.kerning.cbegin(), geometry.kerning.cend(), [&](const KerningPair &kerned) {
            return kerned.left + kerned.right == pair;
        });
        QVERIFY2(found != geometry.kerning.cend(), qPrintable(pair));
        const qreal expected = qt.horizontalAdvance(pair) - qt.horizontalAdvance(pair.left(1)) - qt.horizontalAdvance(pair.mid(1));
        QVERIFY(expected < 0);
        QCOMPARE(found->adjustment, expected);
    }
}

void tst_Render::kerningWithoutLigatures_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("pair");
    // Whether Qt forms a ligature of the pair when nothing keeps it from doing so.
    QTest::addColumn<bool>("ligature");
    QTest::newRow("DejaVu Sans ff 20") << "DejaVu Sans" << 20 << "ff" << true;
    QTest::newRow("DejaVu Sans ff 32") << "DejaVu Sans" << 32 << "ff" << true;
    QTest::newRow("DejaVu Serif ff") << "DejaVu Serif" << 16 << "ff" << true;
    QTest::newRow("DejaVu Serif fi") << "DejaVu Serif" << 16 << "fi" << true;
    QTest::newRow("DejaVu Serif fl") << "DejaVu Serif" << 16 << "fl" << true;
    QTest::newRow("Liberation Serif ff, kerned") << "Liberation Serif" << 16 << "ff" << false;
    QTest::newRow("DejaVu Sans AV") << "DejaVu Sans" << 16 << "AV" << false;
    QTest::newRow("DejaVu Sans To") << "DejaVu Sans" << 16 << "To" << false;
    QTest::newRow("Liberation Serif AV") << "Liberation Serif" << 16 << "AV" << false;
    QTest::newRow("Liberation Serif To") << "Liberation Serif" << 16 << "To" << false;
}

void tst_Render::kerningWithoutLigatures()
{
    QFETCH(QString, family);
    QFETCH(int, size);
    QFETCH(QString, pair);
    QFETCH(bool, ligature);
    const QString style = family.startsWith(QLatin1String("DejaVu")) ? QStringLiteral("Book") : QStringLiteral("Regular");
    if (!InstalledFonts::styles(family).contains(style)) {
        QSKIP("the font is not installed (fonts-liberation2)");
    }
    const QFont font = InstalledFonts::font(family, style, size);
    const QStringList letters{pair.left(1), pair.mid(1)};
    const QFontMetricsF qt(font);
    const qreal joined = pairAdjustment(qt, letters.at(0), letters.at(1), true);
    const qreal expected = pairAdjustment(qt, letters.at(0), letters.at(1), false);
    QCOMPARE(joined != expected, ligature);
    QVERIFY(ligature || expected < 0);

    Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    QVERIFY(renderGlyphs(font, letters, inkFit(true), &docFont, &geometry));
    QVERIFY(geometry.kerningMeasured);
    const auto found = std::find_if(geometry.kerning.cbegin(), geometry.kerning.cend(), [&](const KerningPair &kerned) {
        return kerned.left + kerned.right == pair;
    });
    QCOMPARE(found == geometry.kerning.cend() ? 0 : found->adjustment, expected);
}

void tst_Render::kerningOfEveryPair_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("size");
    // A font made from a file, "" for the installed one; it calls itself family.
    QTest::addColumn<QString>("file");
    // Made with a GPOS table that Qt refuses (lookups beyond its end), or none.
    QTest::addColumn<QByteArray>("gpos");
    QTest::addColumn<QStringList>("letters");
    const QStringList latin = defaultLetters();
    const QString dejaVu = dejaVuDirectory + "DejaVuSans.ttf";
    QTest::newRow("DejaVu Sans 16") << "DejaVu Sans" << "Book" << 16 << QString() << QByteArray() << latin;
    QTest::newRow("DejaVu Sans 20") << "DejaVu Sans" << "Book" << 20 << QString() << QByteArray() << latin;
    QTest::newRow("DejaVu Serif 16") << "DejaVu Serif" << "Book" << 16 << QString() << QByteArray() << latin;
    QTest::newRow("Liberation Serif 16") << "Liberation Serif" << "Regular" << 16 << QString() << QByteArray() << latin;
    QTest::newRow("Noto Sans 16") << "Noto Sans" << "Regular" << 16 << QString() << QByteArray() << latin;
    QTest::newRow("Noto Sans 32") << "Noto Sans" << "Regular" << 32 << QString() << QByteArray() << latin;
    // Qt draws a Type 1 font without kerning: its kerning lives in an AFM file beside it.
    QTest::newRow("Nimbus Sans, Type 1") << "Nimbus Sanz" << "Regular" << 16
                                         << "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1" << QByteArray() << latin;
    // Qt kerns by the kern table then.
    QTest::newRow("DejaVu Sans, GPOS cut") << "DejaVu Sanz" << "Book" << 16 << dejaVu << QByteArray("cut") << latin;
    QTest::newRow("DejaVu Sans, no GPOS") << "DejaVu Sany" << "Book" << 16 << dejaVu << QByteArray("none") << latin;
    // Letters a fallback font draws, and a letter of two characters.
    QTest::newRow("Liberation Serif, other letters") << "Liberation Serif" << "Regular" << 16 << QString() << QByteArray()
                                                     << QStringList{"A", "V", "f", "\u0915", "\u0916", "e\u0301", "T", "o"};
}

void tst_Render::kerningOfEveryPair()
{
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(int, size);
    QFETCH(QString, file);
    QFETCH(QByteArray, gpos);
    QFETCH(QStringList, letters);
    if (!file.isEmpty() && QFile::exists(file)) {
        QByteArray bytes = readAll(file);
        if (file.endsWith(QLatin1String(".t1"))) {
            bytes.replace("(Nimbus Sans)", "(" + family.toLatin1() + ")");
        } else {
            bytes = renamedStyle(bytes, "DejaVu Sans", family.toLatin1(), 400);
            const int table = tableOffset(bytes, "GPOS");
            if (gpos == "cut") {
                qToBigEndian<quint16>(0xFFFF, bytes.data() + table + 8);
            } else {
                bytes.replace(bytes.indexOf("GPOS"), 4, "GPOZ"); // the first is in the table directory
            }
        }
        QVERIFY(QFontDatabase::addApplicationFontFromData(bytes) >= 0);
    }
    if (!InstalledFonts::styles(family).contains(style)) {
        QSKIP("the font is not installed (fonts-liberation2, fonts-noto-core, fonts-urw-base35)");
    }
    const QFont font = InstalledFonts::font(family, style, size);
    QCOMPARE(QFontInfo(font).family(), family);
    Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    QVERIFY(renderGlyphs(font, letters, inkFit(true), &docFont, &geometry));
    QVERIFY(geometry.kerningMeasured);
    QCOMPARE(kerningLines(geometry.kerning), kerningLines(::kerningOfEveryPair(QFontMetricsF(font), letters, false)));
}

void tst_Render::pixelAnchors_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("ink");
    QTest::newRow("line box 16") << 16 << false;
    QTest::newRow("line box 32") << 32 << false;
    QTest::newRow("ink 16") << 16 << true;
    QTest::newRow("ink 32") << 32 << true;
}

void tst_Render::pixelAnchors()
{
    QFETCH(int, size);
    QFETCH(bool, ink);
    const QFont font = dejaVuSans(QStringLiteral("Book"), size);
    RenderSettings settings = ink ? inkFit() : RenderSettings();
    settings.anchors = RenderSettings::Anchors::Pixels;
    Font docFont(QStringLiteral("n.of"));
    QVERIFY(renderGlyphs(font, defaultLetters(), settings, &docFont));

    // H stands on the baseline, the row under its ink; "x" has its top at the x-height, below the top of the line.
    const Character *h = docFont.getCharacter(QStringLiteral("H"));
    const QRect hInk = inkRect(h->getPictures().first()->getImage());
    QCOMPARE(h->getBaseLine(), double(hInk.bottom() + 1));
    QCOMPARE(h->getRightLine() - h->getLeftLine(), double(qRound(QFontMetricsF(font).horizontalAdvance(QLatin1Char('H')))));
    const Character *x = docFont.getCharacter(QStringLiteral("x"));
    QCOMPARE(x->getBaseLine() - x->getUpLine(), double(rowsAbove(font)));
    QCOMPARE(x->getUpLine() < 0, ink);
}

void tst_Render::inkFitBudget()
{
    const QFont font = dejaVuSans(QStringLiteral("Book"), 32);
    RenderSettings settings = inkFit();
    settings.padding = 1000;
    QVERIFY(!fitsPixelBudget(font, defaultLetters(), settings));
    Font docFont(QStringLiteral("n.of"));
    QVERIFY(!renderGlyphs(font, defaultLetters(), settings, &docFont));
    QCOMPARE(docFont.getCharacters().size(), 0);
    // One letter with 1000 pixels around it fits; at the largest size that fits, the next one is refused.
    QVERIFY(fitsPixelBudget(font, {QStringLiteral("W")}, settings));
    settings.padding = 1;
    const int largest = largestFittingPointSize(font, defaultLetters(), settings);
    QVERIFY(largest > 32 && largest < 1024);
    QFont sized(font);
    sized.setPointSize(largest + 1);
    QVERIFY(!renderGlyphs(sized, defaultLetters(), settings, &docFont));
}

void tst_Render::inkFitWithoutInk()
{
    // A no-break space has no ink; its image is the padding alone, the pen in its middle.
    const QStringList letters{QStringLiteral("A"), QStringLiteral("\u00A0")};
    Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    QStringList emptyLetters;
    QVERIFY(renderGlyphs(dejaVuSans(QStringLiteral("Book"), 16), letters, inkFit(), &docFont, &geometry, &emptyLetters));
    QCOMPARE(emptyLetters, QStringList(letters.at(1)));
    QCOMPARE(docFont.getCharacter(letters.at(1))->getPictures().first()->getImage().size(), QSize(2, 2));
    QVERIFY(geometry.letters.at(1).ink.isNull());
    QCOMPARE(geometry.letters.at(1).origin, QPoint(1, 1));
    QVERIFY(geometry.letters.at(1).advance > 0);
}

QTEST_MAIN(tst_Render)
#include "tst_render.moc"
