#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"
#include "oftoolrun.h"
#include "testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {

// Pixels of every kind the round trip must keep: opaque, clear with colour left in it, half-transparent.
QImage testImage(int width, int height, uint seed)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const uint alpha = (seed >> 8) % 3 == 0 ? 0 : (seed >> 8) % 3 == 1 ? 255 : (seed >> 16) & 0xff;
            image.setPixel(x, y, (alpha << 24) | ((seed >> 4) & 0xffffff));
        }
    }
    return image;
}

QImage opaqueImage(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

struct PictureSpec {
    int id;
    QImage image;
};

void addLetter(Models::Font *font, const QString &value, const QList<PictureSpec> &pictures)
{
    auto *letter = new Models::Character(value);
    for (const PictureSpec &picture : pictures) {
        letter->addPicture(new Models::CharacterPicture(picture.image, picture.id, 0));
    }
    font->addCharacter(letter);
}

// Every file under path with a hash of its content, to see that a failed command changed nothing.
QMap<QString, QByteArray> snapshot(const QString &path)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        files.insert(file, f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1)
                                                       : QByteArray("dir"));
    }
    return files;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Checker colours and square size of the preview sheet.
constexpr QRgb checkerLight = 0xfff0f0f0;
constexpr QRgb checkerDark = 0xffd0d0d0;

QRgb checkerAt(int x, int y)
{
    return ((x / 4 + y / 4) % 2) ? checkerDark : checkerLight;
}

/*
 * Where glyph, scaled, stands in sheet: every opaque pixel exactly, every clear one
 * showing the checkerboard of the sheet at that place.
 */
QList<QPoint> findGlyph(const QImage &sheet, const QImage &glyph, int scale)
{
    QList<QPoint> found;
    const int width = glyph.width() * scale;
    const int height = glyph.height() * scale;
    for (int top = 0; top + height <= sheet.height(); ++top) {
        for (int left = 0; left + width <= sheet.width(); ++left) {
            bool match = true;
            for (int y = 0; match && y < height; ++y) {
                for (int x = 0; match && x < width; ++x) {
                    const QRgb pixel = glyph.pixel(x / scale, y / scale);
                    const QRgb shown = sheet.pixel(left + x, top + y);
                    if (qAlpha(pixel) == 255) {
                        match = shown == pixel;
                    } else if (qAlpha(pixel) == 0) {
                        match = shown == checkerAt(left + x, top + y);
                    }
                }
            }
            if (match) {
                found.append(QPoint(left, top));
            }
        }
    }
    return found;
}

} // namespace

class tst_OftoolTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void info_data();
    void info();
    void infoManyWarnings_data();
    void infoManyWarnings();
    void infoAnchors_data();
    void infoAnchors();
    void preview_data();
    void preview();
    void previewWithMetrics_data();
    void previewWithMetrics();
    void roundTrip_data();
    void roundTrip();
    void exportLeavesOut_data();
    void exportLeavesOut();
    void importReport_data();
    void importReport();
    void anchor_data();
    void anchor();
    void badInput_data();
    void badInput();
    void previewLongLetter();
    void help_data();
    void help();
    void argumentNotText();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void writeFont(const Models::Font &font, const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_OftoolTools::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_OftoolTools::writeFont(const Models::Font &font, const QString &name)
{
    QVERIFY(IOManager::FontFileManager::fontToFile(&font, path(name)));
}

void tst_OftoolTools::info_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("text") << false;
    QTest::newRow("json") << true;
}

void tst_OftoolTools::infoManyWarnings_data()
{
    QTest::addColumn<int>("bareLetters");
    QTest::newRow("20, all listed") << 20;
    QTest::newRow("25, 5 counted") << 25;
}

void tst_OftoolTools::infoManyWarnings()
{
    QFETCH(int, bareLetters);
    QByteArray file = "<font name=\"bare\">";
    for (int i = 0; i < bareLetters; ++i) {
        file += "<letter char=\"" + QByteArray::number(i) + "\"/>";
    }
    QVERIFY(writeBytes(path("bare.of"), file + "</font>"));
    const OftoolRun text = runOftool({"info", "bare.of"}, m_dir->path());
    QCOMPARE(text.out.count("  warning:      No picture found"), qMin(bareLetters, 20));
    QCOMPARE(text.out.contains("  warning:      5 more warnings not shown\n"), bareLetters == 25);
    const OftoolRun json = runOftool({"info", "--json", "bare.of"}, m_dir->path());
    const QJsonObject object = QJsonDocument::fromJson(json.out).object();
    QCOMPARE(object.value("warnings").toArray().size(), qMin(bareLetters, 20));
    QCOMPARE(object.value("warningCount").toInt(), bareLetters);
}

void tst_OftoolTools::info()
{
    QFETCH(bool, json);
    const OftoolRun render = runOftool({"render", "--chars", "65-67,0xE9", "--size", "12", "--output", "r.of"}, m_dir->path());
    QCOMPARE(render.status, 0);
    std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(path("r.of")));
    QVERIFY(font);
    qint64 pixels = 0;
    for (const Models::Character *letter : font->getCharacters()) {
        const QImage image = letter->getPictures().first()->getImage();
        pixels += qint64(image.width()) * image.height();
    }
    // The same file twice: one report each.
    QStringList arguments{"info", "r.of", "r.of"};
    if (json) {
        arguments.insert(1, "--json");
    }
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    const QStringList letters{" ", "A", "B", "C", QString(QChar(0xE9))};
    if (!json) {
        QCOMPARE(run.out.count("r.of\n"), 2);
        QVERIFY2(run.out.contains("  letters:      5\n  pictures:     5\n"), run.out.constData());
        QVERIFY2(run.out.contains("  pixels:       " + QByteArray::number(pixels) + "\n"), run.out.constData());
        QVERIFY2(run.out.contains("  letter list:  U+0020 A B C \xC3\xA9\n"), run.out.constData());
        QVERIFY2(run.out.contains("  null images:  none\n"), run.out.constData());
        return;
    }
    const QList<QByteArray> documents = run.out.split('\n');
    QCOMPARE(documents.size(), 3);
    QVERIFY(documents.last().isEmpty());
    for (int i = 0; i < 2; ++i) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(documents.at(i), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        const QJsonObject object = document.object();
        QCOMPARE(object.value("file").toString(), QStringLiteral("r.of"));
        QCOMPARE(object.value("name").toString(), font->getName());
        QCOMPARE(object.value("letterCount").toInt(), 5);
        QCOMPARE(object.value("pictureCount").toInt(), 5);
        QCOMPARE(object.value("letters").toVariant().toStringList(), letters);
        QCOMPARE(qint64(object.value("pixelCount").toDouble()), pixels);
        QVERIFY(object.value("height").toObject().value("max").toInt() > 0);
        QVERIFY(object.value("error").isNull());
        QVERIFY(object.value("nullImageLetters").toArray().isEmpty());
    }
}

void tst_OftoolTools::preview_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<QSize>("size");
    // A 3 x 4 and a 5 x 6 glyph, and Z missing: three cells of the minimum width of 64.
    // Width: margins 2 x 16 + 3 cells + 2 gaps of 8. Height: margins, header 24, glyph box
    // and labels 30, 2 gaps of 8, then the sample line as high as the glyph box.
    QTest::newRow("scale 1") << 1 << QSize(32 + 3 * 64 + 2 * 8, 32 + 24 + 6 + 30 + 16 + 6);
    QTest::newRow("scale 3") << 3 << QSize(32 + 3 * 64 + 2 * 8, 32 + 24 + 18 + 30 + 16 + 18);
}

void tst_OftoolTools::preview()
{
    QFETCH(int, scale);
    QFETCH(QSize, size);
    Models::Font font(QStringLiteral("tiny"));
    const QImage a = testImage(3, 4, 7);
    addLetter(&font, "A", {{0, a}});
    addLetter(&font, "B", {{0, testImage(5, 6, 9)}});
    writeFont(font, "tiny.of");

    const OftoolRun run = runOftool({"preview", "tiny.of", "-o", "sheet.png", "--scale", QString::number(scale), "--text", "AZ"},
                              m_dir->path());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains("not in the font: U+005A (Z)"), run.out.constData());
    QImage sheet(path("sheet.png"));
    QVERIFY(!sheet.isNull());
    QCOMPARE(sheet.size(), size);
    sheet = sheet.convertToFormat(QImage::Format_ARGB32);

    // Once in its cell, centred and standing on the glyph box's bottom, and once in the sample line.
    const int boxHeight = 6 * scale;
    const QPoint inGrid(16 + (64 - 3 * scale) / 2, 16 + 24 + boxHeight - 4 * scale);
    const QPoint inText(16, 16 + 24 + boxHeight + 30 + 16 + boxHeight - 4 * scale);
    QCOMPARE(findGlyph(sheet, a, scale), (QList<QPoint>{inGrid, inText}));
}

void tst_OftoolTools::infoAnchors_data()
{
    QTest::addColumn<QString>("anchors");
    QTest::newRow("percent") << QStringLiteral("percent");
    QTest::newRow("pixels") << QStringLiteral("pixels");
}

void tst_OftoolTools::infoAnchors()
{
    QFETCH(QString, anchors);
    QCOMPARE(runOftool({"render", "--chars", "65-66", "--size", "12", "--anchors", anchors, "--output", "r.of"}, m_dir->path()).status, 0);
    std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(path("r.of")));
    QVERIFY(font);
    QByteArray expected;
    QJsonArray expectedJson;
    for (const Models::Character *letter : font->getCharacters()) {
        const QString label = letter->getCharacterValue() == QLatin1String(" ") ? QStringLiteral("U+0020") : letter->getCharacterValue();
        expected += QStringLiteral("  anchors:      %1: up %2, base %3, left %4, right %5\n")
                        .arg(label).arg(letter->getUpLine()).arg(letter->getBaseLine()).arg(letter->getLeftLine()).arg(letter->getRightLine())
                        .toUtf8();
        expectedJson.append(QJsonObject{{"char", letter->getCharacterValue()}, {"upLine", letter->getUpLine()},
                                        {"baseLine", letter->getBaseLine()}, {"leftLine", letter->getLeftLine()},
                                        {"rightLine", letter->getRightLine()}});
    }
    if (anchors == QLatin1String("percent")) {
        expected = "  anchors:      up 0, base 100, left 0, right 100 (every letter)\n";
    }
    const OftoolRun text = runOftool({"info", "r.of"}, m_dir->path());
    QVERIFY2(text.out.endsWith(expected), text.out.constData());
    const OftoolRun json = runOftool({"info", "--json", "r.of"}, m_dir->path());
    QCOMPARE(QJsonDocument::fromJson(json.out).object().value("anchors").toArray(), expectedJson);
}

void tst_OftoolTools::previewWithMetrics_data()
{
    QTest::addColumn<QByteArray>("metrics"); // beside the font; none when empty
    QTest::addColumn<bool>("lines");
    QTest::addColumn<QPoint>("aInText");
    QTest::addColumn<QPoint>("bInText");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("font"); // what the metrics record of the font: "same", "size", "hash" (another font's), or nothing
    QTest::addColumn<bool>("anchors"); // A and B with anchor lines in pixels, rather than 0/100/0/100
    // Sheet rows: margin 16, header 24, one row of cells 6 + 30 high, gap 16 before the text.
    const int textTop = 16 + 24 + 36 + 16;
    QTest::newRow("side by side, lines") << QByteArray() << true << QPoint(16, textTop + 2) << QPoint(19, textTop) << QByteArray()
                                         << QString() << false;
    // A's pen origin 1 px right of its image's edge and 4 rows down, on the baseline 10 rows down; B after A's
    // advance of 7 and the kerning of -2.
    const QByteArray metrics = R"({"ascent": 10, "lineSpacing": 12,
        "letters": [{"char": "A", "advance": 7, "origin": {"x": 1, "y": 4}}, {"char": "B", "advance": 6, "origin": {"x": 0, "y": 6}}],
        "kerning": [{"left": "A", "right": "B", "adjustment": -2}]})";
    QTest::newRow("metrics") << metrics << false << QPoint(15, textTop + 6) << QPoint(21, textTop + 4) << QByteArray() << "same" << false;
    QTest::newRow("not metrics") << QByteArray("[]") << false << QPoint(16, textTop + 2) << QPoint(19, textTop)
                                 << QByteArray("oftool preview: tiny.of.metrics.json: not a metrics file (no lineSpacing or letters); "
                                               "the sample text is set from the image widths\n") << QString() << false;
    // Metrics that do not describe the font beside them are not used.
    const QByteArray notUsed = "; the sample text is set from the image widths\n";
    QTest::newRow("metrics without the font's size and hash")
        << metrics << false << QPoint(16, textTop + 2) << QPoint(19, textTop)
        << "oftool preview: tiny.of.metrics.json: does not describe tiny.of: it records no size and hash of its font file" + notUsed
        << QString() << false;
    QTest::newRow("metrics of another size") << metrics << false << QPoint(16, textTop + 2) << QPoint(19, textTop)
                                             << "oftool preview: tiny.of.metrics.json: does not describe tiny.of: made for a font file of "
                                                "1 bytes, not SIZE" + notUsed << "size" << false;
    QTest::newRow("metrics of other bytes") << metrics << false << QPoint(16, textTop + 2) << QPoint(19, textTop)
                                            << "oftool preview: tiny.of.metrics.json: does not describe tiny.of: made for a font file "
                                               "of the same size with other bytes (SHA-256)" + notUsed << "hash" << false;
    // Anchor lines in pixels: A's pen origin 1 px right of its image's edge, its baseline 4 rows down, B's 3 rows
    // down; both 6 rows below the top of the line. B after A's advance of 3, both on the line's baseline 6 rows down.
    QTest::newRow("anchors") << QByteArray() << false << QPoint(15, textTop + 2) << QPoint(19, textTop + 3) << QByteArray()
                             << QString() << true;
    QTest::newRow("anchors, not metrics") << QByteArray("[]") << true << QPoint(15, textTop + 2) << QPoint(19, textTop + 3)
                                          << QByteArray("oftool preview: tiny.of.metrics.json: not a metrics file (no lineSpacing or "
                                                        "letters); the sample text is set from the anchor lines\n") << QString() << true;
    QTest::newRow("metrics before anchors") << metrics << false << QPoint(15, textTop + 6) << QPoint(21, textTop + 4) << QByteArray()
                                            << "same" << true;
}

void tst_OftoolTools::previewWithMetrics()
{
    QFETCH(QByteArray, metrics);
    QFETCH(bool, lines);
    QFETCH(QPoint, aInText);
    QFETCH(QPoint, bInText);
    QFETCH(QByteArray, err);
    QFETCH(QString, font);
    QFETCH(bool, anchors);
    Models::Font tiny(QStringLiteral("tiny"));
    const QImage a = opaqueImage(3, 4, 0xffff0000);
    const QImage b = opaqueImage(5, 6, 0xff00ff00);
    addLetter(&tiny, "A", {{0, a}});
    addLetter(&tiny, "B", {{0, b}});
    if (anchors) {
        tiny.getCharacter("A")->setAnchor(-2, 4, 1, 4);
        tiny.getCharacter("B")->setAnchor(-3, 3, 0, 5);
    }
    writeFont(tiny, "tiny.of");
    if (!font.isEmpty()) {
        const QByteArray bytes = readAll(path("tiny.of"));
        QJsonObject object = QJsonDocument::fromJson(metrics).object();
        object.insert("fontBytes", font == "size" ? 1 : bytes.size());
        const QByteArray hash = QCryptographicHash::hash(font == "hash" ? bytes + "x" : bytes, QCryptographicHash::Sha256).toHex();
        object.insert("fontSha256", QString::fromLatin1(hash));
        metrics = QJsonDocument(object).toJson();
        err.replace("SIZE", QByteArray::number(bytes.size()));
    }
    QVERIFY(metrics.isEmpty() || writeBytes(path("tiny.of.metrics.json"), metrics));

    QStringList arguments{"preview", "tiny.of", "-o", "sheet.png", "--text", "AB"};
    if (lines) {
        arguments.append("--lines");
    }
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, err);
    QCOMPARE(run.out.contains("sample text set with the metrics of tiny.of.metrics.json\n"), err.isEmpty() && !metrics.isEmpty());
    const QImage sheet = QImage(path("sheet.png")).convertToFormat(QImage::Format_ARGB32);
    // The last place each is found, after the grid (where anchor lines may cross it).
    const QList<QPoint> as = findGlyph(sheet, a, 1);
    const QList<QPoint> bs = findGlyph(sheet, b, 1);
    QCOMPARE(as.value(as.size() - 1), aInText);
    QCOMPARE(bs.value(bs.size() - 1), bInText);
    // The baseline is drawn in blue.
    bool blue = false;
    for (int y = 0; y < sheet.height() && !blue; ++y) {
        for (int x = 0; x < sheet.width() && !blue; ++x) {
            blue = qBlue(sheet.pixel(x, y)) - qRed(sheet.pixel(x, y)) > 100;
        }
    }
    QCOMPARE(blue, lines);
}

void tst_OftoolTools::roundTrip_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("underscore") << QStringLiteral("_") << QList<int>{0};
    QTest::newRow("plus") << QStringLiteral("+") << QList<int>{1};
    QTest::newRow("full stop") << QStringLiteral(".") << QList<int>{2};
    QTest::newRow("slash") << QStringLiteral("/") << QList<int>{0};
    QTest::newRow("e acute") << QString(QChar(0xE9)) << QList<int>{12};
    QTest::newRow("space") << QStringLiteral(" ") << QList<int>{0};
    QTest::newRow("two letters") << QStringLiteral("ab") << QList<int>{5};
    QTest::newRow("empty") << QString() << QList<int>{3};
    QTest::newRow("beyond U+FFFF") << QString::fromUcs4(U"\U0001F600") << QList<int>{0};
    // Listed by name, 10 would come before 2 and 9: the order of the pictures has to survive too.
    QTest::newRow("twelve pictures") << QStringLiteral("g") << QList<int>{9, 2, 10, -4, 0, 1, 3, 4, 5, 6, 7, 8};
    QTest::newRow("same id twice") << QStringLiteral("h") << QList<int>{4, 4};
    QTest::newRow("percent sign and digit") << QStringLiteral("%1") << QList<int>{7};
}

void tst_OftoolTools::roundTrip()
{
    QFETCH(QString, letter);
    QFETCH(QList<int>, ids);
    Models::Font font(QStringLiteral("trip"));
    QList<PictureSpec> pictures;
    for (int i = 0; i < ids.size(); ++i) {
        pictures.append({ids.at(i), testImage(4 + i, 5, uint(i + 1))});
    }
    addLetter(&font, letter, pictures);
    // An opaque image must not come back as one without alpha, which the import would make transparent.
    addLetter(&font, "A", {{0, opaqueImage(3, 3, 0xffffffff)}, {1, opaqueImage(2, 2, 0xff000000)}});
    writeFont(font, "trip.of");
    std::unique_ptr<Models::Font> written(IOManager::FontFileManager::fontFromFile(path("trip.of")));
    QVERIFY(written);

    const OftoolRun exported = runOftool({"export", "trip.of", "glyphs"}, m_dir->path());
    QCOMPARE(exported.status, 0);
    QVERIFY2(!exported.err.contains("left out"), exported.err.constData());
    const OftoolRun imported = runOftool({"import", "glyphs", "-o", "back.of"}, m_dir->path());
    QCOMPARE(imported.status, 0);
    QVERIFY2(!imported.err.contains("passed over"), imported.err.constData());

    std::unique_ptr<Models::Font> back(IOManager::FontFileManager::fontFromFile(path("back.of")));
    QVERIFY(back);
    QCOMPARE(back->getCharacters().keys(), written->getCharacters().keys());
    QCOMPARE(back->getCharacters().size(), 2);
    for (const Models::Character *original : written->getCharacters()) {
        const Models::Character *copy = back->getCharacter(original->getCharacterValue());
        QVERIFY(copy);
        QCOMPARE(copy->pictureCount(), original->pictureCount());
        for (int i = 0; i < original->pictureCount(); ++i) {
            QCOMPARE(copy->getPictures().at(i)->getId(), original->getPictures().at(i)->getId());
            QCOMPARE(copy->getPictures().at(i)->getImage(), original->getPictures().at(i)->getImage());
        }
    }
}

void tst_OftoolTools::exportLeavesOut_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("underscore") << QStringLiteral("a_b") << QByteArray("holds \"_\"");
    QTest::newRow("plus") << QStringLiteral("a+b") << QByteArray("holds \"+\"");
    QTest::newRow("slash") << QStringLiteral("a/b") << QByteArray("holds \"/\"");
    QTest::newRow("full stop") << QStringLiteral("a.b") << QByteArray("holds \".\"");
    QTest::newRow("pasdecode") << QStringLiteral("[pasdecode]") << QByteArray("leaves out [pasdecode]");
    QTest::newRow("null image") << QStringLiteral("N") << QByteArray("N id 0 left out: its image is null");
}

void tst_OftoolTools::exportLeavesOut()
{
    QFETCH(QString, letter);
    QFETCH(QByteArray, reason);
    Models::Font font(QStringLiteral("odd"));
    addLetter(&font, letter, {{0, letter == QLatin1String("N") ? QImage() : testImage(2, 2, 1)}});
    addLetter(&font, "A", {{0, testImage(2, 2, 2)}});
    writeFont(font, "odd.of");
    const OftoolRun run = runOftool({"export", "odd.of", "out", "--prefix", "p"}, m_dir->path());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(reason), run.err.constData());
    QVERIFY2(run.out.contains("1 pictures of 1 letters exported, 1 left out"), run.out.constData());
    QCOMPARE(QDir(path("out")).entryList(QDir::Files), QStringList{"p_u+0041_0.png"});
}

void tst_OftoolTools::importReport_data()
{
    QTest::addColumn<QString>("directory");
    QTest::newRow("name") << QStringLiteral("scans");
    QTest::newRow("name with /") << QStringLiteral("scans/");
}

void tst_OftoolTools::importReport()
{
    QFETCH(QString, directory);
    QVERIFY(QDir(m_dir->path()).mkpath("scans"));
    QVERIFY(opaqueImage(2, 2, 0xff000000).save(path("scans/x_A_1.png")));
    QVERIFY(opaqueImage(2, 2, 0xff000000).save(path("scans/x_b_2.png")));
    const char *const passedOver[] = {"x_+_1.png", "x_A_1.gif", "x_u+41_1.png", "xA1.png", "x_[pasdecode]_4.png",
                                      ".x_A_3.png", "x_u+d800_1.png"};
    for (const char *name : passedOver) {
        QVERIFY(writeBytes(path(QStringLiteral("scans/") + QLatin1String(name)), "not read"));
    }
    QVERIFY(writeBytes(path("scans/README.txt"), "about the scans"));

    const OftoolRun run = runOftool({"import", directory, "--map", "A=Alpha"}, m_dir->path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, "scans.of: 2 letters, 2 pictures imported from " + directory.toUtf8() + " (7 files passed over)\n");
    for (const char *name : passedOver) {
        QVERIFY2(run.err.contains(QByteArray("passed over ") + name), run.err.constData());
    }
    QVERIFY(!run.err.contains("README"));
    QVERIFY2(!run.err.contains("importing font"), run.err.constData());
    std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(path("scans.of")));
    QVERIFY(font);
    QCOMPARE(font->getName(), QStringLiteral("scans"));
    QCOMPARE(font->getCharacters().keys(), (QStringList{"Alpha", "b"}));
    QCOMPARE(font->getCharacter("Alpha")->getPictures().first()->getId(), 1);
}

void tst_OftoolTools::anchor_data()
{
    QTest::addColumn<QStringList>("letterArguments");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QString>("baseLine");
    QTest::addColumn<QString>("rightLine");
    QTest::addColumn<double>("expectedBase");
    QTest::addColumn<double>("expectedRight");
    QTest::newRow("letter") << QStringList{"--letter", "A"} << "A" << "12.7" << "80.2" << 13.0 << 80.0;
    QTest::newRow("code") << QStringList{"--code", "U+00E9"} << QString(QChar(0xE9)) << "-3.2" << "40" << -3.0 << 40.0;
    QTest::newRow("space") << QStringList{"--letter", " "} << " " << "0" << "1e3" << 0.0 << 1000.0;
}

void tst_OftoolTools::anchor()
{
    QFETCH(QStringList, letterArguments);
    QFETCH(QString, letter);
    QFETCH(QString, baseLine);
    QFETCH(QString, rightLine);
    QFETCH(double, expectedBase);
    QFETCH(double, expectedRight);
    Models::Font font(QStringLiteral("anchors"));
    for (const QString &value : {QStringLiteral(" "), QStringLiteral("A"), QStringLiteral("B"), QString(QChar(0xE9))}) {
        addLetter(&font, value, {{0, testImage(2, 2, 3)}});
    }
    writeFont(font, "a.of");
    const OftoolRun run = runOftool(QStringList{"anchor", "a.of"} + letterArguments
                                  + QStringList{"--baseline", baseLine, "--rightline", rightLine},
                              m_dir->path());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.isEmpty(), run.err.constData());

    std::unique_ptr<Models::Font> back(IOManager::FontFileManager::fontFromFile(path("a.of")));
    QVERIFY(back);
    QCOMPARE(back->getCharacters().size(), 4);
    for (const Models::Character *character : back->getCharacters()) {
        const bool changed = character->getCharacterValue() == letter;
        QCOMPARE(character->getBaseLine(), changed ? expectedBase : 100.0);
        QCOMPARE(character->getRightLine(), changed ? expectedRight : 100.0);
        QCOMPARE(character->getUpLine(), 0.0);
        QCOMPARE(character->getPictures().first()->getImage(), testImage(2, 2, 3));
    }
}

void tst_OftoolTools::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("unknown command") << QStringList{"look"} << 1 << QByteArray("unknown command \"look\"");

    QTest::newRow("info: no file") << QStringList{"info"} << 1 << QByteArray("no FILE given");
    QTest::newRow("info: option") << QStringList{"info", "--colour", "font.of"} << 1 << QByteArray("Unknown option 'colour'");
    QTest::newRow("info: missing") << QStringList{"info", "font.of", "missing.of"} << 2
                                   << QByteArray("oftool info: missing.of: no such file");
    QTest::newRow("info: directory") << QStringList{"info", "full"} << 2 << QByteArray("full: is a directory");
    QTest::newRow("info: broken") << QStringList{"info", "broken.of"} << 2 << QByteArray("broken.of: not a well-formed");
    QTest::newRow("info: not a font") << QStringList{"info", "svg.of"} << 2 << QByteArray("svg.of: not an OF font file");
    QTest::newRow("info: lost pixels") << QStringList{"info", "lost.of"} << 2
                                       << QByteArray("lost.of: pictures were lost while reading");
    // Lost pixels are a failure in every command that reads a font, not only in info.
    const QByteArray lost("lost.of: pictures were lost while reading");
    QTest::newRow("merge: lost pixels") << QStringList{"merge", "lost.of", "font.of", "-o", "m.of"} << 2 << lost;
    QTest::newRow("convert: lost pixels") << QStringList{"convert", "lost.of", "l.bdf"} << 2 << lost;
    QTest::newRow("export: lost pixels") << QStringList{"export", "lost.of", "out"} << 2 << lost;
    QTest::newRow("preview: lost pixels") << QStringList{"preview", "lost.of", "-o", "s.png"} << 2 << lost;
    QTest::newRow("info: json broken") << QStringList{"info", "--json", "broken.of"} << 2 << QByteArray("not a well-formed");

    QTest::newRow("preview: no output") << QStringList{"preview", "font.of"} << 1 << QByteArray("-o: no output file given");
    QTest::newRow("preview: no file") << QStringList{"preview", "-o", "s.png"} << 1 << QByteArray("no FILE given");
    QTest::newRow("preview: scale 0") << QStringList{"preview", "font.of", "-o", "s.png", "--scale", "0"} << 1
                                      << QByteArray("--scale: \"0\" is not a whole number from 1 to 16");
    QTest::newRow("preview: scale 17") << QStringList{"preview", "font.of", "-o", "s.png", "--scale", "17"} << 1
                                       << QByteArray("--scale: \"17\"");
    QTest::newRow("preview: long text") << QStringList{"preview", "font.of", "-o", "s.png", "--text", QString(1001, 'A')}
                                        << 1 << QByteArray("--text: 1001 characters");
    QTest::newRow("preview: broken") << QStringList{"preview", "broken.of", "-o", "s.png"} << 2
                                     << QByteArray("broken.of: not a well-formed");
    QTest::newRow("preview: unwritable") << QStringList{"preview", "font.of", "-o", "nowhere/s.png"} << 2
                                         << QByteArray("cannot write nowhere/s.png");
    QTest::newRow("preview: too large") << QStringList{"preview", "wide.of", "-o", "s.png", "--scale", "16"} << 2
                                        << QByteArray("more than this tool draws");

    QTest::newRow("export: no dir") << QStringList{"export", "font.of"} << 1 << QByteArray("no DIR given");
    QTest::newRow("export: not empty") << QStringList{"export", "font.of", "full"} << 1 << QByteArray("\"full\" is not empty");
    QTest::newRow("export: file as dir") << QStringList{"export", "font.of", "font.of"} << 1
                                         << QByteArray("\"font.of\" is not a directory");
    QTest::newRow("export: prefix") << QStringList{"export", "font.of", "out", "--prefix", "a_b"} << 1
                                    << QByteArray("--prefix: \"a_b\"");
    QTest::newRow("export: hidden prefix") << QStringList{"export", "font.of", "out", "--prefix", ".x"} << 1
                                           << QByteArray("--prefix: \".x\"");
    QTest::newRow("export: missing") << QStringList{"export", "missing.of", "out"} << 2 << QByteArray("missing.of: no such file");
    QTest::newRow("export: broken") << QStringList{"export", "broken.of", "out"} << 2 << QByteArray("not a well-formed");

    QTest::newRow("import: no dir") << QStringList{"import"} << 1 << QByteArray("no DIR given");
    QTest::newRow("import: missing") << QStringList{"import", "missing"} << 2 << QByteArray("missing: no such directory");
    QTest::newRow("import: file") << QStringList{"import", "font.of"} << 2 << QByteArray("font.of: not a directory");
    QTest::newRow("import: no images") << QStringList{"import", "full"} << 2
                                       << QByteArray("full: no glyph image to import");
    QTest::newRow("import: map") << QStringList{"import", "glyphs", "--map", "A"} << 1 << QByteArray("--map: \"A\" is not FROM=TO");
    QTest::newRow("import: map twice") << QStringList{"import", "glyphs", "--map", "A=B", "--map", "A=C"} << 1
                                       << QByteArray("--map: \"A\" is mapped twice");
    QTest::newRow("import: only letters a file cannot hold")
        << QStringList{"import", "nul"} << 2
        << QByteArray("passed over x_u+zzzz_1.png: U+0000 is not a character an OF font file can hold\n");
    QTest::newRow("import: unwritable") << QStringList{"import", "glyphs", "-o", "nowhere/g.of"} << 2
                                        << QByteArray("oftool import: cannot write nowhere/g.of: No such file or directory\n");

    const QStringList lines{"--baseline", "1", "--rightline", "2"};
    QTest::newRow("anchor: no file") << (QStringList{"anchor", "--letter", "A"} + lines) << 1 << QByteArray("no FILE given");
    QTest::newRow("anchor: no letter") << (QStringList{"anchor", "font.of"} + lines) << 1
                                       << QByteArray("either --letter or --code");
    QTest::newRow("anchor: no rightline") << QStringList{"anchor", "font.of", "--letter", "A", "--baseline", "1"} << 1
                                          << QByteArray("--rightline is missing");
    QTest::newRow("anchor: text") << QStringList{"anchor", "font.of", "--letter", "A", "--baseline", "low", "--rightline", "2"}
                                  << 1 << QByteArray("--baseline: \"low\" is not a number");
    QTest::newRow("anchor: infinite") << QStringList{"anchor", "font.of", "--letter", "A", "--baseline", "1", "--rightline", "inf"}
                                      << 1 << QByteArray("--rightline: \"inf\" is not a number");
    QTest::newRow("anchor: code") << (QStringList{"anchor", "font.of", "--code", "U+110000"} + lines) << 1
                                  << QByteArray("--code: \"U+110000\" is not a code point");
    QTest::newRow("anchor: absent letter") << (QStringList{"anchor", "font.of", "--letter", "Q"} + lines) << 2
                                           << QByteArray("font.of has no letter Q (U+0051); nothing changed");
    QTest::newRow("anchor: too large") << (QStringList{"anchor", "huge.of", "--letter", "A"} + lines) << 2
                                       << QByteArray("huge.of: 257 MiB, more than the 256 MiB the anchor update can edit");
    QTest::newRow("anchor: missing") << (QStringList{"anchor", "missing.of", "--letter", "A"} + lines) << 2
                                     << QByteArray("missing.of: no such file");
    QTest::newRow("anchor: not xml") << (QStringList{"anchor", "text.of", "--letter", "A"} + lines) << 2
                                     << QByteArray("Unable to parse font:text.of\noftool anchor: text.of was not changed");
    QTest::newRow("anchor: gzip") << (QStringList{"anchor", "font.of.gz", "--letter", "A"} + lines) << 2
                                  << QByteArray("oftool anchor: font.of.gz: compressed with gzip; anchor edits uncompressed OF "
                                                "font files (gunzip it first)\n");
    QTest::newRow("convert: --compress to BDF") << QStringList{"convert", "font.of", "f.bdf", "--compress"} << 1
                                                << QByteArray("oftool convert: --compress is for an OF font file\n");
}

void tst_OftoolTools::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, message);

    Models::Font font(QStringLiteral("good"));
    addLetter(&font, "A", {{0, testImage(3, 3, 5)}});
    writeFont(font, "font.of");
    Models::Font wide(QStringLiteral("wide"));
    addLetter(&wide, "W", {{0, testImage(2000, 1, 5)}});
    writeFont(wide, "wide.of");
    QFile good(path("font.of"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    QVERIFY(writeBytes(path("broken.of"), bytes.left(bytes.size() / 2)));
    QVERIFY(writeBytes(path("lost.of"), QByteArray(bytes).replace("<width>3</width>", "<width>4</width>")));
    QVERIFY(writeBytes(path("svg.of"), "<?xml version=\"1.0\"?>\n<svg><letter char=\"A\"/></svg>\n"));
    QVERIFY(writeBytes(path("text.of"), "letters A to Z\n"));
    QProcess gzip;
    gzip.setWorkingDirectory(m_dir->path());
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-kn"), QStringLiteral("font.of")});
    QVERIFY(gzip.waitForFinished() && gzip.exitCode() == 0);
    QVERIFY(QDir(m_dir->path()).mkpath("full"));
    QVERIFY(writeBytes(path("full/README"), "no images here"));
    QVERIFY(QDir(m_dir->path()).mkpath("glyphs"));
    QVERIFY(testImage(2, 2, 1).save(path("glyphs/g_A_0.png")));
    if (arguments.contains("huge.of")) {
        QFile huge(path("huge.of"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64(256) << 20) + 1));
    }
    QVERIFY(QDir(m_dir->path()).mkpath("nul"));
    QVERIFY(testImage(2, 2, 1).save(path("nul/x_u+zzzz_1.png")));

    const QMap<QString, QByteArray> before = snapshot(m_dir->path());
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), run.err.constData());
    if (status == 1) {
        QVERIFY2(run.err.contains("--help"), run.err.constData());
    }
    // Nothing written, nothing changed, no directory left behind.
    QCOMPARE(snapshot(m_dir->path()), before);
}

void tst_OftoolTools::previewLongLetter()
{
    // A label shows a few characters of a letter; of a million, they must be those it shows of a hundred.
    for (const int length : {100, 1000000}) {
        Models::Font font(QStringLiteral("long"));
        addLetter(&font, QString(length, QLatin1Char('A')), {{0, testImage(2, 2, 1)}});
        writeFont(font, QStringLiteral("%1.of").arg(length));
        const OftoolRun run = runOftool({"preview", QStringLiteral("%1.of").arg(length), "-o", QStringLiteral("%1.png").arg(length),
                                         "--text", ""}, m_dir->path());
        QCOMPARE(run.status, 0);
    }
    const QImage shorter(path("100.png"));
    QVERIFY(!shorter.isNull());
    QCOMPARE(QImage(path("1000000.png")), shorter);
}

void tst_OftoolTools::help_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("err");
    for (const char *command : {"render", "info", "preview", "export", "import", "anchor"}) {
        QTest::newRow(command) << command << QByteArray();
    }
    // Qt's other warnings about the runtime directory still come through.
    QTest::newRow("render, runtime directory open to all")
        << "render" << QByteArray("QStandardPaths: wrong permissions on runtime directory RUNTIME, 0777 instead of 0700\n");
}

void tst_OftoolTools::help()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, err);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    if (!err.isEmpty()) {
        QVERIFY(QDir(m_dir->path()).mkdir("runtime"));
        QCOMPARE(chmod(QFile::encodeName(path("runtime")).constData(), 0777), 0);
        environment.insert("XDG_RUNTIME_DIR", path("runtime"));
        err.replace("RUNTIME", QFile::encodeName(path("runtime")));
    }
    const OftoolRun help = runOftool({command, "--help"}, m_dir->path(), environment);
    const OftoolRun helpAll = runOftool({command, "--help-all"}, m_dir->path(), environment);
    QCOMPARE(helpAll.status, 0);
    QVERIFY(help.out.startsWith("Usage: oftool " + command.toUtf8()));
    QCOMPARE(helpAll.out, help.out);
    QCOMPARE(help.err + helpAll.err, err + err);
}

void tst_OftoolTools::argumentNotText()
{
    // QProcess passes arguments as text; the shell makes the byte 0xFE.
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start("/bin/sh", {"-c", "exec \"$0\" info \"$(printf 'b\\376.of')\"", OFTOOL_PATH});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError(), QByteArray("oftool info: \"b\\xFE.of\" is not valid UTF-8 text; file names and values "
                                                        "must be, or they would change on the way\nTry 'oftool info --help'.\n"));
}

QTEST_MAIN(tst_OftoolTools)
#include "tst_oftooltools.moc"
