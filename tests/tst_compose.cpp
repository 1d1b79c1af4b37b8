#include "composemetrics.h"
#include "composer.h"
#include "groundtruth.h"
#include "stagedfiles.h"
#include "textencoding.h"
#include "typeface.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"
#include "iomanager/fontfilemanager.h"
#include "oftoolrun.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFont>
#include <QGlyphRun>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

// A picture of its own per letter and variant: opaque where ink, clear elsewhere, the shade telling them apart.
QImage picture(int width, int height, int shade)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(0);
    for (int y = 1; y < height - 1; ++y) {
        for (int x = (y + shade) % 2; x < width; x += 2) {
            image.setPixel(x, y, qRgba(shade, 0, 255 - shade, 255 - (x * 7 + shade) % 128));
        }
    }
    return image;
}

/* A font of the letters in letters, variants pictures each; anchors in pixels when anchored. */
std::unique_ptr<Models::Font> makeFont(const QStringList &letters, int variants, bool anchored)
{
    auto font = std::make_unique<Models::Font>(QStringLiteral("test"));
    int shade = 0;
    for (const QString &value : letters) {
        const int width = 6 + value.size() * 3;
        auto *letter = anchored ? new Models::Character(value, -2, 12, 1, 3 + width) : new Models::Character(value);
        for (int v = 0; v < variants; ++v) {
            letter->addPicture(new Models::CharacterPicture(picture(width + (anchored ? 2 : 0), anchored ? 16 : 14, shade += 9), v, float(v)));
        }
        font->addCharacter(letter);
    }
    auto *blank = new Models::Character(QStringLiteral(" "));
    QImage space(5, 14, QImage::Format_ARGB32);
    space.fill(0);
    blank->addPicture(new Models::CharacterPicture(space, 0, 0));
    font->addCharacter(blank);
    return font;
}

QString drawnText(const Compose::Composition &composition)
{
    QString text;
    for (const Compose::LineLayout &line : composition.lines) {
        for (const Compose::Box &box : line.characters) {
            text += box.text;
        }
    }
    return text;
}

QList<int> choices(const Compose::Composition &composition)
{
    QList<int> pictures;
    for (const Compose::Box &box : composition.lines.first().characters) {
        pictures.append(box.picture);
    }
    return pictures;
}

QStringList fileList(const QString &directory)
{
    QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

int metadataLines(const QString &path)
{
    return readAll(path).count('\n');
}

} // namespace

class tst_Compose : public QObject
{
    Q_OBJECT

private slots:
    void cutBoxesArePictures_data();
    void cutBoxesArePictures();
    void seeds();
    void looks_data();
    void looks();
    void missingPolicy_data();
    void missingPolicy();
    void longestLetterFirst();
    void kerningNarrows();
    void placedAsDrawText();
    void tesseractFlipped();
    void pageXmlValidates();
    void commandErrors_data();
    void commandErrors();
    void jobsGiveSameBytes();
    void corpusLettersRendered();
    void stoppedRunLeavesWholeSamples_data();
    void stoppedRunLeavesWholeSamples();
    void stagedFilePlaced_data();
    void stagedFilePlaced();
    void readAtMost_data();
    void readAtMost();
};

void tst_Compose::cutBoxesArePictures_data()
{
    QTest::addColumn<bool>("anchored");
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<int>("margin");
    QTest::newRow("line box") << false << 1 << 0;
    QTest::newRow("anchor lines, margin") << true << 1 << 3;
    QTest::newRow("page of three lines") << false << 3 << 2;
    QTest::newRow("baseline jitter") << true << 2 << 0;
}

void tst_Compose::cutBoxesArePictures()
{
    QFETCH(bool, anchored);
    QFETCH(int, linesPerPage);
    QFETCH(int, margin);
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b", "c", "d"}, 3, anchored);
    const Compose::Typeface typeface(*font);
    Compose::Options options;
    options.background = Compose::Options::Background::Transparent;
    options.margin = margin;
    options.baselineJitter = QByteArray(QTest::currentDataTag()) == "baseline jitter" ? 3 : 0;
    QStringList lines;
    for (int i = 0; i < linesPerPage; ++i) {
        lines.append(QStringLiteral("abc dab cc"));
    }
    const Compose::Composition composition = Compose::compose(typeface, lines, options, 7);
    QCOMPARE(int(composition.status), int(Compose::Composition::Status::Done));
    QCOMPARE(composition.image.format(), QImage::Format_ARGB32);
    QCOMPARE(composition.lines.size(), linesPerPage);
    int letters = 0;
    for (const Compose::LineLayout &line : composition.lines) {
        QCOMPARE(line.words.size(), 3);
        for (const Compose::Box &box : line.characters) {
            if (box.text == QLatin1String(" ")) {
                continue;
            }
            const int index = typeface.match(box.text, 0);
            QVERIFY(index >= 0);
            QCOMPARE(composition.image.copy(box.rect), typeface.letter(index).pictures.at(box.picture));
            ++letters;
        }
    }
    QCOMPARE(letters, 8 * linesPerPage);
}

void tst_Compose::seeds()
{
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b"}, 4, false);
    const Compose::Typeface typeface(*font);
    const QStringList text = {QStringLiteral("abababab abab")};
    const Compose::Composition first = Compose::compose(typeface, text, Compose::Options(), 42);
    const Compose::Composition again = Compose::compose(typeface, text, Compose::Options(), 42);
    const Compose::Composition other = Compose::compose(typeface, text, Compose::Options(), 43);
    QCOMPARE(first.image.format(), QImage::Format_Grayscale8);
    QCOMPARE(again.image, first.image);
    QCOMPARE(choices(again), choices(first));
    QVERIFY(choices(other) != choices(first));
    QVERIFY(other.image != first.image);

    // Only the pictures of the levels asked for are chosen: makeFont gives picture v the level v.
    const Compose::Typeface levelTwo(*font, nullptr, Compose::DegradationRange{2, 2});
    const Compose::Composition degraded = Compose::compose(levelTwo, text, Compose::Options(), 42);
    QCOMPARE(levelTwo.letter(levelTwo.match(QStringLiteral("a"), 0)).pictures,
             QVector<QImage>{font->getCharacter(QStringLiteral("a"))->getPictureById(2)->getImage()});
    QCOMPARE(choices(degraded), QList<int>({0, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0}));
}

void tst_Compose::looks_data()
{
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("ink");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("format");
    QTest::addColumn<QRgb>("corner");
    QTest::newRow("white") << "white" << "" << 0 << int(QImage::Format_Grayscale8) << qRgb(255, 255, 255);
    QTest::newRow("grey, resampled") << "#808080" << "" << 40 << int(QImage::Format_Grayscale8) << qRgb(128, 128, 128);
    QTest::newRow("red ink") << "white" << "red" << 0 << int(QImage::Format_RGB32) << qRgb(255, 255, 255);
    QTest::newRow("background image, resampled") << "image" << "" << 9 << int(QImage::Format_RGB32) << qRgb(0x33, 0x66, 0x99);
    QTest::newRow("transparent") << "transparent" << "" << 0 << int(QImage::Format_ARGB32) << qRgba(0, 0, 0, 0);
}

void tst_Compose::looks()
{
    QFETCH(QString, background);
    QFETCH(QString, ink);
    QFETCH(int, height);
    QFETCH(int, format);
    QFETCH(QRgb, corner);
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b"}, 2, true);
    const Compose::Typeface typeface(*font);
    Compose::Options options;
    options.margin = 2;
    options.height = height;
    options.ink = ink.isEmpty() ? QColor() : QColor(ink);
    options.colour = !ink.isEmpty() || background == QLatin1String("image");
    options.letterSpacingJitter = 2;
    options.wordSpacingJitter = 4;
    if (background == QLatin1String("transparent")) {
        options.background = Compose::Options::Background::Transparent;
    } else if (background == QLatin1String("image")) {
        QImage plain(5, 3, QImage::Format_RGB32);
        plain.fill(qRgb(0x33, 0x66, 0x99));
        options.background = Compose::Options::Background::Images;
        options.backgroundImages = {plain};
    } else {
        options.background = Compose::Options::Background::Colour;
        options.backgroundColour = QColor(background);
    }
    const Compose::Composition composition = Compose::compose(typeface, {QStringLiteral("ab ba  abab")}, options, 3);
    QCOMPARE(int(composition.image.format()), format);
    QCOMPARE(composition.image.pixel(0, 0), corner);
    if (height > 0) {
        QCOMPARE(composition.image.height(), height);
    }
    const QRect image = composition.image.rect();
    for (const Compose::Box &box : composition.lines.first().characters + composition.lines.first().words) {
        QVERIFY2(image.contains(box.rect), qPrintable(box.text));
    }
    if (!ink.isEmpty()) {
        const QRect a = composition.lines.first().characters.first().rect;
        const QRgb inked = composition.image.pixel(a.left() + 1, a.top() + 1); // red, its alpha over white
        QVERIFY(qRed(inked) == 255 && qGreen(inked) == qBlue(inked) && qGreen(inked) < 128);
    }
    QCOMPARE(Compose::compose(typeface, {QStringLiteral("ab ba  abab")}, options, 3).image, composition.image);
}

void tst_Compose::missingPolicy_data()
{
    QTest::addColumn<bool>("drop");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("missing");
    const int done = int(Compose::Composition::Status::Done);
    const int missing = int(Compose::Composition::Status::Missing);
    QTest::newRow("all there") << false << "ab ba" << done << "ab ba" << QStringList();
    QTest::newRow("refused") << false << "aXb\u00e9a" << missing << "" << QStringList{"X", "\u00e9"};
    QTest::newRow("dropped") << true << "aXb \u00e9aX" << done << "ab a" << QStringList{"X", "\u00e9"};
    QTest::newRow("astral dropped whole") << true << "a\U0001F600b" << done << "ab" << QStringList{"\U0001F600"};
}

void tst_Compose::missingPolicy()
{
    QFETCH(bool, drop);
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(QString, label);
    QFETCH(QStringList, missing);
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b"}, 1, false);
    Compose::Options options;
    options.dropMissing = drop;
    const Compose::Composition composition = Compose::compose(Compose::Typeface(*font), {text}, options, 1);
    QCOMPARE(int(composition.status), status);
    QCOMPARE(composition.missing, missing);
    QCOMPARE(composition.label(), label);
    QCOMPARE(drawnText(composition), label);
}

void tst_Compose::longestLetterFirst()
{
    const std::unique_ptr<Models::Font> font = makeFont({"f", "i", "fi", "ffi", "e", "e\u0301"}, 1, false);
    const Compose::Composition composition = Compose::compose(Compose::Typeface(*font), {QStringLiteral("ffiifie\u0301e")}, Compose::Options(), 1);
    QStringList letters;
    for (const Compose::Box &box : composition.lines.first().characters) {
        letters.append(box.text);
    }
    QCOMPARE(letters, (QStringList{"ffi", "i", "fi", "e\u0301", "e"}));
}

void tst_Compose::kerningNarrows()
{
    const std::unique_ptr<Models::Font> font = makeFont({"A", "V"}, 1, true);
    MetricsFile::TextMetrics metrics;
    metrics.ascent = 14;
    metrics.descent = 4;
    metrics.lineSpacing = 19;
    metrics.letters.insert(QStringLiteral("A"), {9.5, 1, 12});
    metrics.letters.insert(QStringLiteral("V"), {9.5, 1, 12});
    const Compose::Composition plain = Compose::compose(Compose::Typeface(*font, &metrics), {QStringLiteral("AV")}, Compose::Options(), 1);
    metrics.pairs.append({QStringLiteral("A"), QStringLiteral("V"), -3.25});
    const Compose::Composition kerned = Compose::compose(Compose::Typeface(*font, &metrics), {QStringLiteral("AV")}, Compose::Options(), 1);
    const QRect a = plain.lines.first().characters.at(0).rect;
    const QRect v = plain.lines.first().characters.at(1).rect;
    const QRect kernedV = kerned.lines.first().characters.at(1).rect;
    QCOMPARE(v.left() - a.left(), qRound(9.5));
    QCOMPARE(kernedV.left() - a.left(), qRound(9.5 - 3.25));
    QCOMPARE(kernedV.top(), v.top());
    QVERIFY(kerned.image.width() < plain.image.width());
}

// A font from oftool render --fit ink --metrics, set by compose, puts each glyph where Qt's own layout of the text does.
void tst_Compose::placedAsDrawText()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString text = QStringLiteral("AVATAR Tovo, WAVE: jfk \"quay\" LTA yy");
    const OftoolRun render = runOftool({"render", "--family", "DejaVu Sans", "--style", "Book", "--px", "32", "--chars", "33-126",
                                        "--fit", "ink", "--metrics", "--output", "sans.of"}, dir.path());
    QVERIFY2(render.status == 0, render.err.constData());
    const std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(dir.filePath("sans.of")));
    QVERIFY(font);
    MetricsFile::TextMetrics metrics;
    QVERIFY(readComposeMetrics(dir.filePath("sans.of.metrics.json"), &metrics));
    QVERIFY(!metrics.kerning.isEmpty());
    const Compose::Typeface typeface(*font, &metrics);
    const Compose::Composition composition = Compose::compose(typeface, {text}, Compose::Options(), 1);
    QCOMPARE(int(composition.status), int(Compose::Composition::Status::Done));

    QFont qfont(QStringLiteral("DejaVu Sans"));
    qfont.setStyleName(QStringLiteral("Book"));
    qfont.setPixelSize(32);
    QTextLayout layout(text, qfont);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QVector<qreal> drawn;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        for (const QPointF &position : run.positions()) {
            drawn.append(position.x());
        }
    }
    const QVector<Compose::Box> &characters = composition.lines.first().characters;
    QCOMPARE(drawn.size(), characters.size());
    const int penStart = characters.first().rect.left() + metrics.letters.value("A").originX;
    for (int i = 0; i < characters.size(); ++i) {
        const Compose::Box &box = characters.at(i);
        const int origin = box.text == QLatin1String(" ") ? 0 : metrics.letters.value(box.text).originX;
        const qreal pen = box.rect.left() + origin - penStart;
        QVERIFY2(qAbs(pen - drawn.at(i)) <= 1.0, qPrintable(QStringLiteral("%1 at %2, drawText at %3").arg(box.text).arg(pen).arg(drawn.at(i))));
    }
}

void tst_Compose::tesseractFlipped()
{
    Compose::Composition composition;
    composition.image = QImage(40, 20, QImage::Format_Grayscale8);
    Compose::LineLayout line;
    line.characters = {{QStringLiteral("A"), QRect(2, 3, 10, 12)}, {QStringLiteral(" "), QRect(12, 0, 4, 20)},
                       {QStringLiteral("\u00e9"), QRect(16, 0, 9, 20)}};
    composition.lines = {line};
    QCOMPARE(Compose::tesseractBoxes(composition), QByteArray("A 2 5 12 17 0\n\xc3\xa9 16 0 25 20 0\n"));
}

void tst_Compose::pageXmlValidates()
{
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty()) {
        QSKIP("xmllint is not installed (Debian: libxml2-utils)");
    }
    if (!QFileInfo::exists(QStringLiteral(QMF_PAGE_SCHEMA))) {
        QSKIP("the PAGE-XML schema " QMF_PAGE_SCHEMA " is not there");
    }
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b", "<", "&"}, 2, true);
    QVERIFY(IOManager::FontFileManager::fontToFile(font.get(), dir.filePath("f.of")));
    const OftoolRun run = runOftool({"compose", "f.of", "--text-line", "ab <&a b", "--text-line", "  ba", "--lines-per-page", "3",
                                     "--page-xml", "--margin", "2", "--output", "out"}, dir.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QProcess lint;
    lint.start(xmllint, {"--noout", "--schema", QStringLiteral(QMF_PAGE_SCHEMA), dir.filePath("out/000000.xml")});
    QVERIFY(lint.waitForFinished(60000));
    QVERIFY2(lint.exitCode() == 0, lint.readAllStandardError().constData());
    const QByteArray xml = readAll(dir.filePath("out/000000.xml"));
    QCOMPARE(xml.count("<TextLine "), 3);
    QCOMPARE(xml.count("<Glyph "), 6 + 2 + 6);
}

void tst_Compose::commandErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");
    const QStringList base = {"compose", "f.of", "--output", "out"};
    QTest::newRow("no text") << base << 1 << QByteArray("oftool compose: no text given: --text FILE or --text-line TEXT");
    QTest::newRow("count 0") << base + QStringList{"--text-line", "ab", "--count", "0"} << 1
                             << QByteArray("oftool compose: --count: \"0\" is not a whole number from 1 to 100000000");
    QTest::newRow("seed too large") << base + QStringList{"--text-line", "ab", "--seed", "9007199254740992"} << 1
                                    << QByteArray("oftool compose: --seed: \"9007199254740992\" is not a whole number from 0 to 9007199254740991");
    QTest::newRow("missing policy") << base + QStringList{"--text-line", "ab", "--missing", "ignore"} << 1
                                    << QByteArray("oftool compose: --missing: \"ignore\" is not skip, fail or drop");
    QTest::newRow("not UTF-8") << base + QStringList{"--text", "latin1.txt"} << 1
                               << QByteArray("oftool compose: --text: latin1.txt: line 2 is not UTF-8");
    QTest::newRow("output is a file") << QStringList{"compose", "f.of", "--text-line", "ab", "--output", "latin1.txt"} << 2
                                      << QByteArray("oftool compose: cannot write DIR/latin1.txt: not a directory");
    QTest::newRow("lists merged into a directory") << QStringList{"manifest-merge", "out/"} << 1
                                                   << QByteArray("oftool manifest-merge: out/ is a directory: name the list to write, "
                                                                 "such as out/metadata.jsonl");
    QTest::newRow("no letters") << QStringList{"compose", "empty.of", "--text-line", "ab", "--output", "out"} << 2
                                << QByteArray("oftool compose: empty.of: the font has no letters");
    QTest::newRow("background without images") << base + QStringList{"--text-line", "ab", "--background-dir", "."} << 2
                                                << QByteArray("oftool compose: --background-dir: . holds no image (.png, .jpg, .jpeg, .bmp)");
    QTest::newRow("missing, fail") << base + QStringList{"--text-line", "ab", "--text-line", "aXb", "--missing", "fail"} << 3
                                   << QByteArray("oftool compose: --text-line 2: f.of lacks U+0058 (X); stopped (--missing fail)");
    QTest::newRow("missing, skipped") << base + QStringList{"--text-line", "ab", "--text-line", "aX\u00e9b"} << 0
                                      << QByteArray("oftool compose: wrote 1 of 2 samples into out; 1 skipped, 0 failed; "
                                                    "f.of lacks U+0058 (X), U+00E9 (\xc3\xa9)");
    QTest::newRow("metrics of another font") << base + QStringList{"--text-line", "ab"} << 0
                                             << QByteArray("oftool compose: f.of.metrics.json: does not describe f.of: made for a font "
                                                           "file of 12 bytes, not SIZE; placing letters by their anchor lines");
    QTest::newRow("a line too wide") << base + QStringList{"--text", "long.txt"} << 0
                                     << QByteArray("oftool compose: long.txt: line 1: the image would be 1100001 x 18 pixels, more "
                                                   "than 67108864 (at most 32768 pixels wide at this height); skipped");
}

void tst_Compose::commandErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b"}, 1, true);
    const Models::Font empty(QStringLiteral("empty"));
    QVERIFY(IOManager::FontFileManager::fontToFile(font.get(), dir.filePath("f.of")));
    QVERIFY(IOManager::FontFileManager::fontToFile(&empty, dir.filePath("empty.of")));
    QVERIFY(writeAll(dir.filePath("latin1.txt"), "ab\nb\xe9\n"));
    QVERIFY(writeAll(dir.filePath("long.txt"), QByteArray(100000, 'a') + "\nab\n"));
    if (QByteArray(QTest::currentDataTag()) == "metrics of another font") {
        QVERIFY(writeAll(dir.filePath("f.of.metrics.json"), "{\"fontBytes\": 12, \"fontSha256\": \"00\", \"lineSpacing\": 20, \"letters\": []}"));
    }
    message.replace("SIZE", QByteArray::number(QFileInfo(dir.filePath("f.of")).size()));
    const OftoolRun run = runOftool(arguments, dir.path());
    QCOMPARE(run.status, status);
    const QList<QByteArray> lines = run.err.split('\n');
    QCOMPARE(lines.first(), message.replace("DIR", QFile::encodeName(dir.path())));
    QVERIFY(!QFileInfo::exists(dir.filePath("out/.000000.png.part")));
}

// Samples are functions of the seed and their index: the same files whatever -j.
void tst_Compose::jobsGiveSameBytes()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const std::unique_ptr<Models::Font> one = makeFont({"a", "b", "c"}, 3, true);
    const std::unique_ptr<Models::Font> two = makeFont({"a", "b", "c"}, 2, false);
    QVERIFY(IOManager::FontFileManager::fontToFile(one.get(), dir.filePath("one.of")));
    QVERIFY(IOManager::FontFileManager::fontToFile(two.get(), dir.filePath("two.of")));
    QVERIFY(writeAll(dir.filePath("text.txt"), "abc cab\n\nbac\nccc aaa bbb\n"));
    const QStringList common = {"compose", "one.of", "two.of", "--text", "text.txt", "--count", "40", "--seed", "5",
                                "--font-choice", "random", "--boxes", "tesseract", "--letter-spacing-jitter", "1.5",
                                "--baseline-jitter", "1", "--output"};
    const OftoolRun single = runOftool(common + QStringList{"j1", "-j", "1"}, dir.path());
    const OftoolRun twice = runOftool(common + QStringList{"j2", "-j", "2"}, dir.path());
    QCOMPARE(single.status, 0);
    QCOMPARE(twice.status, 0);
    QCOMPARE(single.err, QByteArray("oftool compose: wrote 40 of 40 samples into j1; 0 skipped, 0 failed\n"));
    const QStringList files = fileList(dir.filePath("j1"));
    QCOMPARE(files.size(), 2 + 40 * 3);
    QCOMPARE(fileList(dir.filePath("j2")), files);
    for (const QString &file : files) {
        QVERIFY2(readAll(dir.filePath("j1/" + file)) == readAll(dir.filePath("j2/" + file)), qPrintable(file));
    }
    const QList<QByteArray> gt = readAll(dir.filePath("j1/gt.txt")).split('\n');
    QCOMPARE(gt.at(3), QByteArray("000003.png\tabc cab"));
    QCOMPARE(readAll(dir.filePath("j1/000003.gt.txt")), QByteArray("abc cab\n"));
    const QJsonObject record = QJsonDocument::fromJson(readAll(dir.filePath("j1/metadata.jsonl")).split('\n').at(2)).object();
    QCOMPARE(record.value("file_name").toString(), QStringLiteral("000002.png"));
    QCOMPARE(record.value("text").toString(), QStringLiteral("ccc aaa bbb"));
    QCOMPARE(record.value("characters").toArray().size(), 11);
    QCOMPARE(record.value("words").toArray().size(), 3);
    QCOMPARE(QImage(dir.filePath("j1/000002.png")).format(), QImage::Format_Grayscale8);
}

// render --chars-from draws each grapheme cluster of a corpus as a letter, so that compose finds every one.
void tst_Compose::corpusLettersRendered()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(writeAll(dir.filePath("corpus.txt"), "Noe\xcc\x88l, caf\xc3\xa9\r\n\n e\xcc\x81t\xc3\xa9 e\n"));
    const OftoolRun render = runOftool({"render", "--px", "16", "--chars-from", "corpus.txt", "--output", "c.of"}, dir.path());
    QVERIFY2(render.status == 0, render.err.constData());
    const std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(dir.filePath("c.of")));
    QVERIFY(font);
    QStringList letters = font->getCharacters().keys();
    QCOMPARE(letters, (QStringList{" ", ",", "N", "a", "c", "e", "e\u0301", "e\u0308", "f", "l", "o", "t", "\u00e9"}));
    const OftoolRun compose = runOftool({"compose", "c.of", "--text", "corpus.txt", "--missing", "fail", "--output", "out"}, dir.path());
    QCOMPARE(compose.err, QByteArray("oftool compose: wrote 2 of 2 samples into out; 0 skipped, 0 failed\n"));
    QCOMPARE(readAll(dir.filePath("out/000001.gt.txt")), QByteArray(" e\xcc\x81t\xc3\xa9 e\n"));
}

void tst_Compose::stoppedRunLeavesWholeSamples_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<qint64>("sizeLimit");
    QTest::newRow("SIGTERM") << int(SIGTERM) << qint64(0);
    QTest::newRow("SIGKILL") << int(SIGKILL) << qint64(0);
    QTest::newRow("full disk") << 0 << qint64(20000);
}

// Whatever stops a run, the lists name exactly the samples whose files are all there, and a second run completes them.
void tst_Compose::stoppedRunLeavesWholeSamples()
{
    QFETCH(int, signal);
    QFETCH(qint64, sizeLimit);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const std::unique_ptr<Models::Font> font = makeFont({"a", "b", "c"}, 3, true);
    QVERIFY(IOManager::FontFileManager::fontToFile(font.get(), dir.filePath("f.of")));
    const QStringList arguments = {"compose", "f.of", "--text-line", "abc cab bca", "--output", "out", "-j", "2", "--count"};
    QProcess process;
    process.setWorkingDirectory(dir.path());
    if (sizeLimit > 0) {
        process.start(QStringLiteral("/bin/sh"), QStringList{"-c", "trap '' XFSZ; exec prlimit --fsize=\"$0\" -- \"$@\"",
                                                             QString::number(sizeLimit), QStringLiteral(OFTOOL_PATH)}
                                                     + arguments + QStringList{"100000"});
    } else {
        process.start(QStringLiteral(OFTOOL_PATH), arguments + QStringList{"100000"});
        QVERIFY(process.waitForStarted());
        // Stopped once some samples are listed, while more are being made.
        while (metadataLines(dir.filePath("out/metadata.jsonl")) < 300 && process.state() == QProcess::Running) {
            QTest::qWait(20);
        }
        QVERIFY(process.processId() > 0);
        ::kill(pid_t(process.processId()), signal);
    }
    QVERIFY(process.waitForFinished(120000));
    if (signal == SIGTERM) {
        QCOMPARE(process.exitCode(), 128 + SIGTERM);
    } else if (sizeLimit > 0) {
        QCOMPARE(process.exitCode(), 2);
        QCOMPARE(process.readAllStandardError().split('\n').first(),
                 QByteArray("oftool compose: cannot write metadata.jsonl and gt.txt: File too large"));
    }
    const QList<QByteArray> gt = readAll(dir.filePath("out/gt.txt")).split('\n');
    // A kill may fall between a sample's two records; what both lists hold is whole, and the next run cuts back the rest.
    const int listed = qMin(gt.size() - 1, metadataLines(dir.filePath("out/metadata.jsonl")));
    QVERIFY(listed > 0);
    QVERIFY(listed < 100000);
    QVERIFY(metadataLines(dir.filePath("out/metadata.jsonl")) - listed <= (signal == SIGKILL ? 1 : 0));
    QVERIFY(gt.size() - 1 - listed <= (signal == SIGKILL ? 1 : 0));
    for (int i = 0; i < listed; ++i) {
        const QString name = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
        QCOMPARE(gt.at(i), (name + ".png\tabc cab bca").toUtf8());
        QVERIFY(!QImage(dir.filePath("out/" + name + ".png")).isNull());
        QCOMPARE(readAll(dir.filePath("out/" + name + ".gt.txt")), QByteArray("abc cab bca\n"));
    }
    if (signal != SIGKILL) {
        QCOMPARE(fileList(dir.filePath("out")).size(), 2 + 2 * listed);
    }

    const OftoolRun again = runOftool(arguments + QStringList{QString::number(listed + 5)}, dir.path());
    QCOMPARE(again.status, 0);
    QCOMPARE(fileList(dir.filePath("out")).size(), 2 + 2 * (listed + 5));
    QCOMPARE(readAll(dir.filePath("out/gt.txt")).count('\n'), listed + 5);
    QVERIFY2(again.err.endsWith(QStringLiteral("wrote 5 of %1 samples into out; 0 skipped, 0 failed; %2 kept from before\n")
                                    .arg(listed + 5).arg(listed).toUtf8()), again.err.constData());
}

void tst_Compose::stagedFilePlaced_data()
{
    QTest::addColumn<QString>("before"); // what the target is once the file is staged
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing") << "" << "";
    QTest::newRow("a file") << "file" << "";
    QTest::newRow("a directory") << "directory" << "not a regular file";
}

// A sample's file goes in place at once, over a file there, never over a directory; nothing else is left.
void tst_Compose::stagedFilePlaced()
{
    QFETCH(QString, before);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString target = dir.filePath("000000.png");
    QString reason;
    StagedFile staged = StagedFiles::write(QByteArray("new"), target, &reason);
    QVERIFY2(!staged.isNull(), qPrintable(reason));
    QVERIFY(before != "file" || writeAll(target, "old"));
    QVERIFY(before != "directory" || QDir(dir.path()).mkdir("000000.png"));
    QCOMPARE(StagedFiles::place(&staged), error);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"000000.png"});
    QCOMPARE(QFileInfo(target).isDir(), before == "directory");
    QVERIFY(before == "directory" || readAll(target) == "new");
}

void tst_Compose::readAtMost_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("limit");
    QTest::newRow("under the limit") << 10 << 11;
    QTest::newRow("at the limit") << 11 << 11;
    QTest::newRow("over, across a chunk") << 200000 << 65537;
    QTest::newRow("empty") << 0 << 5;
}

// The texts and metrics files read with a limit: all of a file up to it, whatever the chunks.
void tst_Compose::readAtMost()
{
    QFETCH(int, size);
    QFETCH(int, limit);
    QTemporaryDir dir;
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        bytes[i] = char('a' + i % 26);
    }
    QVERIFY(writeAll(dir.filePath("f"), bytes));
    QFile file(dir.filePath("f"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(TextEncoding::readAtMost(&file, limit), bytes.left(limit));
}

QTEST_MAIN(tst_Compose)
#include "tst_compose.moc"
