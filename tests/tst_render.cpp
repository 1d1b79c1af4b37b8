#include "glyphrenderer.h"
#include "installedfonts.h"

#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include "referencewriter.h"
#include "stderrcapture.h"
#include "testfiles.h"

#include <QFile>
#include <QFontMetrics>
#include <QFontMetricsF>
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
    QTest::newRow("no-break space, combining acute")
        << QStringList{QStringLiteral("A"), QStringLiteral("\u00A0"), QStringLiteral("\u0301"), QStringLiteral("B")}
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

QTEST_MAIN(tst_Render)
#include "tst_render.moc"
