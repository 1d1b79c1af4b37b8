#include "bdffont.h"
#include "charset.h"
#include "conversion.h"

#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"
#include "oftoolrun.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QByteArray header = "STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 -2\nSTARTPROPERTIES 2\nFONT_ASCENT 6\nFONT_DESCENT 2\nENDPROPERTIES\n";

QByteArray glyph(const QByteArray &encoding, const QByteArray &bbx, const QByteArray &rows, int advance = 5)
{
    return "STARTCHAR g" + encoding + "\nENCODING " + encoding + "\nDWIDTH " + QByteArray::number(advance) + " 0\nBBX " + bbx
           + "\nBITMAP\n" + rows + "ENDCHAR\n";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Letters of opaque black and transparent pixels only, all as high as the line, as the window lays them out.
std::unique_ptr<Models::Font> oneBitFont()
{
    auto font = std::make_unique<Models::Font>(QStringLiteral("one bit"));
    uint seed = 7;
    const QList<QPair<QString, int>> letters = {{QStringLiteral("A"), 9}, {QStringLiteral(" "), 4}, {QStringLiteral("\u00E9"), 7},
                                                {QStringLiteral("\U0001D400"), 12}, {QStringLiteral("\uFEFF"), 3}};
    for (const auto &letter : letters) {
        QImage image(letter.second, 14, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int y = 0; y < image.height() && letter.first != QLatin1String(" "); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                seed = seed * 1103515245u + 12345u;
                image.setPixel(x, y, (seed >> 16) % 2 ? 0xff000000 : 0);
            }
        }
        auto *character = new Models::Character(letter.first);
        character->addPicture(new Models::CharacterPicture(image, 0, 0));
        font->addCharacter(character);
    }
    return font;
}

} // namespace

class ConvertTest : public QObject
{
    Q_OBJECT

private slots:
    void badBdf_data();
    void badBdf();
    void ofToBdfAndBack();
    void letterOfSeveralCodePoints();
    void placementOutOfRange_data();
    void placementOutOfRange();
    void bdfToOfAndBack_data();
    void bdfToOfAndBack();
    void otherToolsRead();
    void atlas_data();
    void atlas();
    void atlasTooLarge();
    void fifoInput();
    void withMetrics();
    void metricsOfAnotherFont_data();
    void metricsOfAnotherFont();
    void metricsOutOfRange_data();
    void metricsOutOfRange();
    void headerCoversGlyphs_data();
    void headerCoversGlyphs();

private:
    QTemporaryDir m_dir;
};

void ConvertTest::badBdf_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    const QByteArray a = glyph("65", "3 2 0 0", "E0\nA0\n");
    QTest::newRow("not BDF") << QByteArray("<font/>") << "not a BDF font: it does not start with STARTFONT";
    QTest::newRow("cut short") << header + "CHARS 1\n" + a.left(a.indexOf("A0")) << "line 13: the file is cut short inside the bitmap of g65";
    QTest::newRow("no ENDFONT") << header + "CHARS 1\n" + a << "line 15: the file is cut short: no ENDFONT after 1 glyphs";
    QTest::newRow("100000 glyphs declared") << header + "CHARS 100000\n" + a + "ENDFONT\n"
                                            << "line 16: CHARS says 100000 glyphs, the file holds 1";
    QTest::newRow("huge bounding box") << QByteArray("STARTFONT 2.1\nFONTBOUNDINGBOX 60000 60000 0 0\n")
                                       << "line 2: FONTBOUNDINGBOX: \"60000\" is not a number from -8192 to 8192";
    QTest::newRow("short row") << header + "CHARS 1\n" + glyph("65", "9 2 0 0", "E0\nA0\n") + "ENDFONT\n"
                               << "line 13: bitmap row \"E0\" of g65 is not 4 hex digits for a glyph 9 pixels wide";
    QTest::newRow("not hex") << header + "CHARS 1\n" + glyph("65", "3 2 0 0", "E0\nZZ\n") + "ENDFONT\n"
                             << "line 14: bitmap row \"ZZ\" of g65 is not 2 hex digits for a glyph 3 pixels wide";
    QTest::newRow("extra row") << header + "CHARS 1\n" + glyph("65", "3 1 0 0", "E0\nA0\n") + "ENDFONT\n"
                               << "line 14: g65 has more bitmap rows than its BBX height 1, or no ENDCHAR";
    // The BDF reader takes it; an OF font file's reader could not read back a picture of any pixels this large.
    const QByteArray row = QByteArray(1250, 'F') + "\n";
    QTest::newRow("a glyph larger than a picture")
        << header + "CHARS 1\n" + glyph("65", "5000 5000 0 0", row.repeated(5000)) + "ENDFONT\n"
        << "glyph g65 (U+0041) would take 5000 x 5002 pixels, more than an OF font file's picture holds (16777216)";
    QTest::newRow("beyond Unicode") << header + "CHARS 1\n" + glyph("1114112", "3 2 0 0", "E0\nA0\n") + "ENDFONT\n"
                                    << "line 9: ENCODING of g1114112 is no code point";
}

// One clear line and status 2, from the reader through oftool.
void ConvertTest::badBdf()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("bad.bdf"));
    QVERIFY(writeFile(path, text));
    // A file that does not start like BDF is taken for an OF font file, and the OF reader says why not.
    if (!text.startsWith("STARTFONT")) {
        Bdf::Font font;
        QString error;
        QVERIFY(!Bdf::read(text, &font, &error));
        QCOMPARE(error, message);
        return;
    }
    const OftoolRun run = runOftool({QStringLiteral("convert"), path, QStringLiteral("out.of")}, m_dir.path());
    QCOMPARE(run.status, 2);
    QCOMPARE(QString::fromUtf8(run.err), QStringLiteral("oftool convert: %1: %2\n").arg(path, message));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("out.of"))));
}

// 1-bit letters laid out as the window does come back with the same pixels.
void ConvertTest::ofToBdfAndBack()
{
    const std::unique_ptr<Models::Font> font = oneBitFont();
    QStringList notes;
    const Bdf::Font bdf = Convert::toBdf(*font, 128, &notes);
    QCOMPARE(notes, QStringList());
    QCOMPARE(bdf.ascent, 14);
    QCOMPARE(bdf.descent, 0);
    Bdf::Font read;
    QString error;
    QVERIFY2(Bdf::read(Bdf::write(bdf), &read, &error), qPrintable(error));
    const std::unique_ptr<Models::Font> back = Convert::fromBdf(read, QStringLiteral("back"), &notes, &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->getCharacters().keys(), font->getCharacters().keys());
    for (const Models::Character *letter : font->getCharacters()) {
        const Models::Character *other = back->getCharacter(letter->getCharacterValue());
        QCOMPARE(Convert::firstImage(*other), Convert::firstImage(*letter));
        QCOMPARE(other->getBaseLine(), 14.0);
    }
}

void ConvertTest::letterOfSeveralCodePoints()
{
    const std::unique_ptr<Models::Font> font = oneBitFont();
    auto *letter = new Models::Character(QStringLiteral("AB"));
    letter->addPicture(new Models::CharacterPicture(Convert::firstImage(*font->getCharacter(QStringLiteral("A"))), 0, 0));
    font->addCharacter(letter);
    QStringList notes;
    const Bdf::Font bdf = Convert::toBdf(*font, 128, &notes);
    QCOMPARE(notes, QStringList{QStringLiteral("letter U+0041 U+0042 left out: a BDF glyph is one code point")});
    QCOMPARE(bdf.glyphs.size(), 5);
}

void ConvertTest::placementOutOfRange_data()
{
    QTest::addColumn<QList<double>>("anchors");
    QTest::addColumn<QString>("note");
    const QString far = QStringLiteral("letter U+0041 left out: %1 is not a position within 4096 pixels of its 9 x 14 image");
    QTest::newRow("pixels") << QList<double>{0, 11, -100, 9} << QString();
    QTest::newRow("not a number") << QList<double>{0, 11, qQNaN(), 9} << far.arg("leftLine nan");
    QTest::newRow("infinite") << QList<double>{0, qInf(), 0, 9} << far.arg("baseLine inf");
    QTest::newRow("1e300") << QList<double>{-1e300, 11, 0, 9} << far.arg("upLine -1e+300");
    QTest::newRow("3e9") << QList<double>{0, 11, 0, 3e9} << far.arg("rightLine 3e+09");
    QTest::newRow("just beyond") << QList<double>{0, 11, -4097, 9} << far.arg("leftLine -4097");
    QTest::newRow("advance beyond the reach")
        << QList<double>{0, 11, 0, 4097}
        << "letter U+0041 left out: its ink or advance lies more than 4096 pixels from its pen origin, further than "
           "BDF readers take";
}

// Whatever anchor lines a file holds, the BDF written reads back, and a letter it cannot place is named.
void ConvertTest::placementOutOfRange()
{
    QFETCH(QList<double>, anchors);
    QFETCH(QString, note);
    const std::unique_ptr<Models::Font> font = oneBitFont();
    Models::Character *letter = font->getCharacter(QStringLiteral("A"));
    letter->setUpLine(anchors.at(0));
    letter->setBaseLine(anchors.at(1));
    letter->setLeftLine(anchors.at(2));
    letter->setRightLine(anchors.at(3));
    QStringList notes;
    const Bdf::Font bdf = Convert::toBdf(*font, 128, &notes);
    QCOMPARE(notes, note.isEmpty() ? QStringList() : QStringList{note});
    QCOMPARE(bdf.glyphs.size(), note.isEmpty() ? 5 : 4);
    Bdf::Font read;
    QString error;
    QVERIFY2(Bdf::read(Bdf::write(bdf), &read, &error), qPrintable(error));
}

void ConvertTest::bdfToOfAndBack_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("below the baseline, left of the origin, above the line, a mark without advance")
        << header + "CHARS 4\n" + glyph("103", "4 5 0 -2", "F0\n90\nF0\n10\nE0\n")
               + glyph("106", "3 3 -1 -2", "60\n20\nC0\n", 3) + glyph("8364", "7 10 0 -1", QByteArray(10 * 3, '\0').replace(QByteArray(3, '\0'), "FE\n"), 8)
               + glyph("769", "2 1 -3 6", "C0\n", 0) + "ENDFONT\n";
    QTest::newRow("a space, and no properties") << QByteArray("STARTFONT 2.1\nFONTBOUNDINGBOX 4 9 0 -2\nCHARS 2\n")
                                                       + glyph("32", "0 0 0 0", "", 4) + glyph("46", "1 1 1 0", "80\n", 3) + "ENDFONT\n";
    // otf2bdf writes BDF as many tools read it.
    const QString otf2bdf = QStandardPaths::findExecutable(QStringLiteral("otf2bdf"));
    if (!otf2bdf.isEmpty()) {
        QProcess process;
        process.start(otf2bdf, {QStringLiteral("-p"), QStringLiteral("16"), QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")});
        process.waitForFinished(60000);
        QTest::newRow("otf2bdf DejaVu Sans 16") << process.readAllStandardOutput();
    }
}

// Glyph bitmaps and metrics survive a trip through an OF font file and oftool.
void ConvertTest::bdfToOfAndBack()
{
    QFETCH(QByteArray, text);
    const QString in = m_dir.filePath(QStringLiteral("in.bdf"));
    const QString back = m_dir.filePath(QStringLiteral("back.bdf"));
    QVERIFY(writeFile(in, text));
    QCOMPARE(runOftool({QStringLiteral("convert"), in, QStringLiteral("mid.of")}, m_dir.path()).status, 0);
    const OftoolRun run = runOftool({QStringLiteral("convert"), QStringLiteral("mid.of"), back}, m_dir.path());
    QCOMPARE(run.status, 0);
    Bdf::Font before;
    Bdf::Font after;
    QString error;
    QVERIFY2(Bdf::read(text, &before, &error), qPrintable(error));
    QVERIFY2(Bdf::read(readFile(back), &after, &error), qPrintable(error));
    QCOMPARE(after.ascent, before.ascent);
    QCOMPARE(after.descent, before.descent);
    std::sort(before.glyphs.begin(), before.glyphs.end(), [](const Bdf::Glyph &a, const Bdf::Glyph &b) { return a.codePoint < b.codePoint; });
    QCOMPARE(after.glyphs.size(), before.glyphs.size());
    for (int i = 0; i < before.glyphs.size(); ++i) {
        const Bdf::Glyph &a = before.glyphs.at(i);
        const Bdf::Glyph &b = after.glyphs.at(i);
        QCOMPARE(b.codePoint, a.codePoint);
        QCOMPARE(b.advance, a.advance);
        QCOMPARE(Bdf::inkBox(b), Bdf::inkBox(a));
        QCOMPARE(b.rows, a.rows);
    }
}

// What the window's font becomes, other tools open as BDF.
void ConvertTest::otherToolsRead()
{
    const QString bdftopcf = QStandardPaths::findExecutable(QStringLiteral("bdftopcf"));
    const QString fontforge = QStandardPaths::findExecutable(QStringLiteral("fontforge"));
    if (bdftopcf.isEmpty() && fontforge.isEmpty()) {
        QSKIP("neither bdftopcf (xfonts-utils) nor fontforge is installed");
    }
    QCOMPARE(runOftool({QStringLiteral("render"), QStringLiteral("--size"), QStringLiteral("16"), QStringLiteral("--output"),
                        QStringLiteral("sans16.of")}, m_dir.path()).status, 0);
    QCOMPARE(runOftool({QStringLiteral("convert"), QStringLiteral("sans16.of"), QStringLiteral("sans16.bdf")}, m_dir.path()).status, 0);
    const QString bdf = m_dir.filePath(QStringLiteral("sans16.bdf"));
    if (!bdftopcf.isEmpty()) {
        QCOMPARE(QProcess::execute(bdftopcf, {bdf, QStringLiteral("-o"), m_dir.filePath(QStringLiteral("sans16.pcf"))}), 0);
    }
    if (!fontforge.isEmpty()) {
        QProcess process;
        process.start(fontforge, {QStringLiteral("-quiet"), QStringLiteral("-lang=py"), QStringLiteral("-c"),
                                  QStringLiteral("import fontforge, sys; print(sum(1 for g in fontforge.open(sys.argv[1]).glyphs()))"), bdf});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.readAllStandardOutput().trimmed(), QByteArray("100"));
    }
}

void ConvertTest::atlas_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("power of two") << QStringLiteral("pot");
    QTest::newRow("tight") << QStringLiteral("tight");
}

// Every glyph's place holds exactly its visible pixels, apart from the others by the padding.
void ConvertTest::atlas()
{
    QFETCH(QString, shape);
    QCOMPARE(runOftool({QStringLiteral("render"), QStringLiteral("--size"), QStringLiteral("20"), QStringLiteral("--output"),
                        QStringLiteral("sans.of")}, m_dir.path()).status, 0);
    const OftoolRun run = runOftool({QStringLiteral("convert"), QStringLiteral("sans.of"), QStringLiteral("sans.fnt"), QStringLiteral("--json"),
                                     QStringLiteral("--atlas-size"), shape}, m_dir.path());
    QCOMPARE(run.status, 0);
    const QImage page(m_dir.filePath(QStringLiteral("sans.png")));
    const QStringList lines = QString::fromUtf8(readFile(m_dir.filePath(QStringLiteral("sans.fnt")))).split(QLatin1Char('\n'));
    if (shape == QLatin1String("pot")) {
        QCOMPARE(page.width() & (page.width() - 1), 0);
        QCOMPARE(page.height() & (page.height() - 1), 0);
    }
    const std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(m_dir.filePath(QStringLiteral("sans.of"))));
    const QRegularExpression charLine(QStringLiteral("^char id=(\\d+) x=(\\d+) y=(\\d+) width=(\\d+) height=(\\d+) xoffset=(-?\\d+) yoffset=(-?\\d+) xadvance=(\\d+)"));
    QList<QRect> places;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = charLine.match(line);
        if (!match.hasMatch()) {
            continue;
        }
        const uint id = match.captured(1).toUInt();
        const QRect place(match.captured(2).toInt(), match.captured(3).toInt(), match.captured(4).toInt(), match.captured(5).toInt());
        const QImage image = Convert::firstImage(*font->getCharacter(QString(QChar(char16_t(id))))).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(match.captured(8).toInt(), image.width());
        if (place.isEmpty()) {
            continue;
        }
        QCOMPARE(page.copy(place), image.copy(QRect(QPoint(match.captured(6).toInt(), match.captured(7).toInt()), place.size())));
        for (const QRect &other : qAsConst(places)) {
            QVERIFY(!other.adjusted(-1, -1, 1, 1).intersects(place));
        }
        places.append(place);
    }
    QCOMPARE(places.size(), 99); // every letter but the blank space
    const QJsonObject json = QJsonDocument::fromJson(readFile(m_dir.filePath(QStringLiteral("sans.json")))).object();
    QCOMPARE(json.value(QStringLiteral("chars")).toArray().size(), font->getCharacters().size());
}

void ConvertTest::atlasTooLarge()
{
    Models::Font font(QStringLiteral("wide"));
    QImage wide(16384, 1, QImage::Format_ARGB32);
    wide.fill(0xff000000);
    auto *letter = new Models::Character(QStringLiteral("-"));
    letter->addPicture(new Models::CharacterPicture(wide, 0, 0));
    font.addCharacter(letter);
    QVERIFY(IOManager::FontFileManager::fontToFile(&font, m_dir.filePath(QStringLiteral("wide.of"))));
    const OftoolRun run = runOftool({QStringLiteral("convert"), QStringLiteral("wide.of"), QStringLiteral("wide.fnt")}, m_dir.path());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err, QByteArray("oftool convert: the atlas would need 16386 x 3 pixels, more than 16384 x 16384\n"));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("wide.png"))));
}

// A FIFO as IN is refused at once, not waited on.
void ConvertTest::fifoInput()
{
    const QString fifo = m_dir.filePath(QStringLiteral("in.fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const OftoolRun run = runOftool({QStringLiteral("convert"), fifo, QStringLiteral("out.bdf")}, m_dir.path());
    QCOMPARE(run.status, 2);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("out.bdf"))));
}

// A metrics file beside the font places glyphs on the real baseline and kerns the atlas.
void ConvertTest::withMetrics()
{
    QCOMPARE(runOftool({QStringLiteral("render"), QStringLiteral("--size"), QStringLiteral("16"), QStringLiteral("--fit"), QStringLiteral("ink"),
                        QStringLiteral("--metrics"), QStringLiteral("--output"), QStringLiteral("fit.of")}, m_dir.path()).status, 0);
    QCOMPARE(runOftool({QStringLiteral("convert"), QStringLiteral("fit.of"), QStringLiteral("fit.bdf")}, m_dir.path()).status, 0);
    QCOMPARE(runOftool({QStringLiteral("convert"), QStringLiteral("fit.of"), QStringLiteral("fit.fnt")}, m_dir.path()).status, 0);
    Bdf::Font bdf;
    QString error;
    QVERIFY2(Bdf::read(readFile(m_dir.filePath(QStringLiteral("fit.bdf"))), &bdf, &error), qPrintable(error));
    QVERIFY(bdf.descent > 0);
    for (const Bdf::Glyph &glyph : qAsConst(bdf.glyphs)) {
        if (glyph.codePoint == 'g' || glyph.codePoint == 'H') {
            // "g" reaches below the baseline, "H" stands on it.
            QCOMPARE(glyph.yOffset < 0, glyph.codePoint == 'g');
        }
    }
    QVERIFY(readFile(m_dir.filePath(QStringLiteral("fit.fnt"))).contains("\nkerning first=65 second=86 amount=-"));
}

void ConvertTest::metricsOfAnotherFont_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason");
    QTest::newRow("font rendered again without metrics") << "render" << "made for a font file of OLD bytes, not NEW";
    QTest::newRow("hash changed") << "hash" << "made for a font file of the same size with other bytes (SHA-256)";
    QTest::newRow("no size and hash") << "keys" << "it records no size and hash of its font file";
}

// Metrics that do not describe the font beside them are named and passed over, as if there were none.
void ConvertTest::metricsOfAnotherFont()
{
    QFETCH(QString, change);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const auto run = [&](const QStringList &arguments) { return runOftool(arguments, dir.path()); };
    QCOMPARE(run({"render", "--size", "16", "--fit", "ink", "--metrics", "--output", "fit.of"}).status, 0);
    const QString metricsPath = dir.filePath("fit.of.metrics.json");
    QJsonObject metrics = QJsonDocument::fromJson(readFile(metricsPath)).object();
    reason.replace("OLD", QString::number(qint64(metrics.value("fontBytes").toDouble())));
    if (change == "render") {
        QCOMPARE(run({"render", "--size", "17", "--fit", "ink", "--output", "fit.of"}).status, 0);
        reason.replace("NEW", QString::number(QFileInfo(dir.filePath("fit.of")).size()));
    } else if (change == "hash") {
        metrics.insert("fontSha256", QString(64, QLatin1Char('0')));
    } else {
        metrics.remove("fontBytes");
        metrics.remove("fontSha256");
    }
    const QByteArray text = QJsonDocument(metrics).toJson();
    if (change != "render") {
        QVERIFY(writeFile(metricsPath, text));
    }
    QVERIFY(QFile::rename(metricsPath, dir.filePath("aside.json")));
    QCOMPARE(run({"convert", "fit.of", "plain.bdf"}).status, 0);
    QVERIFY(QFile::rename(dir.filePath("aside.json"), metricsPath));

    const OftoolRun converted = run({"convert", "fit.of", "fit.bdf"});
    QCOMPARE(converted.status, 0);
    QCOMPARE(converted.err, ("oftool convert: fit.of.metrics.json: does not describe fit.of: " + reason
                             + "; placing glyphs by their anchor lines\n").toUtf8());
    QCOMPARE(readFile(dir.filePath("fit.bdf")), readFile(dir.filePath("plain.bdf")));
}

void ConvertTest::metricsOutOfRange_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("problem");
    const QString range = QStringLiteral("not a number from -65536 to 65536");
    QTest::newRow("advance 1e300") << "letters.0.advance" << QJsonValue(1e300) << "letters[0].advance is 1e+300, " + range;
    // Read, and then beyond what BDF and an atlas can place.
    QTest::newRow("advance at the limit") << "letters.0.advance" << QJsonValue(65536) << QString();
    QTest::newRow("origin 3e9") << "letters.1.origin.y" << QJsonValue(3e9) << "letters[1].origin.y is 3e+09, " + range;
    QTest::newRow("origin not whole") << "letters.1.origin.x" << QJsonValue(2.5) << "letters[1].origin.x is 2.5, not a whole number";
    QTest::newRow("ascent -1e300") << "ascent" << QJsonValue(-1e300) << "ascent is -1e+300, " + range;
    QTest::newRow("pixel size below 0") << "pixelSize" << QJsonValue(-1) << "pixelSize is -1, not a number from 0 to 65536";
    QTest::newRow("adjustment as text") << "kerning.0.adjustment" << QJsonValue("wide")
                                        << "kerning[0].adjustment is \"wide\", " + range;
}

// A number no pixel position can be is named with its key and value, and the metrics passed over.
void ConvertTest::metricsOutOfRange()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QCOMPARE(runOftool({"render", "--size", "16", "--fit", "ink", "--metrics", "--output", "fit.of"}, dir.path()).status, 0);
    const QString metricsPath = dir.filePath("fit.of.metrics.json");
    QJsonObject metrics = QJsonDocument::fromJson(readFile(metricsPath)).object();
    const QStringList path = key.split('.');
    if (path.size() == 1) {
        metrics.insert(key, value);
    } else {
        QJsonArray list = metrics.value(path.at(0)).toArray();
        QJsonObject item = list.at(path.at(1).toInt()).toObject();
        if (path.size() == 3) {
            item.insert(path.at(2), value);
        } else {
            QJsonObject inner = item.value(path.at(2)).toObject();
            inner.insert(path.at(3), value);
            item.insert(path.at(2), inner);
        }
        list.replace(path.at(1).toInt(), item);
        metrics.insert(path.at(0), list);
    }
    QVERIFY(writeFile(metricsPath, QJsonDocument(metrics).toJson()));
    const OftoolRun converted = runOftool({"convert", "fit.of", "fit.fnt"}, dir.path());
    QCOMPARE(converted.status, 0);
    QCOMPARE(QString::fromUtf8(converted.err),
             problem.isEmpty() ? "oftool convert: letter ! left out: metrics: advance 65536 is not a number of pixels from -4096 to 4096\n"
                               : "oftool convert: fit.of.metrics.json: not a metrics file (" + problem
                                     + "); placing glyphs by their anchor lines\n");
}

void ConvertTest::headerCoversGlyphs_data()
{
    QTest::addColumn<bool>("metrics");
    QTest::newRow("anchor lines in pixels") << false;
    QTest::newRow("metrics") << true;
}

// Glyphs cut to their ink stand where their anchor lines (or the metrics, which render writes alike) put them. The
// header's line is the metrics' or, without them, as high and as low as the glyphs reach.
void ConvertTest::headerCoversGlyphs()
{
    QFETCH(bool, metrics);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QStringList render{"render", "--size", "16", "--fit", "ink", "--anchors", "pixels", "--output", "fit.of"};
    if (metrics) {
        render.append("--metrics");
    }
    QCOMPARE(runOftool(render, dir.path()).status, 0);
    const QJsonObject written = QJsonDocument::fromJson(readFile(dir.filePath("fit.of.metrics.json"))).object();
    const OftoolRun run = runOftool({"convert", "fit.of", "fit.bdf"}, dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());

    Bdf::Font bdf;
    QString error;
    QVERIFY2(Bdf::read(readFile(dir.filePath("fit.bdf")), &bdf, &error), qPrintable(error));
    const std::unique_ptr<Models::Font> font(IOManager::FontFileManager::fontFromFile(dir.filePath("fit.of")));
    QVERIFY(font);
    int above = 0;
    int below = 0;
    int descender = 0;
    for (const Bdf::Glyph &glyph : qAsConst(bdf.glyphs)) {
        const Models::Character *letter = font->getCharacter(Charset::letterOf(glyph.codePoint));
        QVERIFY(letter);
        const QImage image = letter->firstPicture()->getImage();
        QRect ink;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                ink |= qAlpha(image.pixel(x, y)) >= 128 ? QRect(x, y, 1, 1) : QRect();
            }
        }
        QCOMPARE(glyph.advance, qRound(letter->getRightLine() - letter->getLeftLine()));
        if (!ink.isEmpty()) {
            QCOMPARE(glyph.xOffset, ink.left() - qRound(letter->getLeftLine()));
            QCOMPARE(glyph.yOffset, qRound(letter->getBaseLine()) - (ink.bottom() + 1));
            above = qMax(above, glyph.yOffset + glyph.height);
            below = qMax(below, -glyph.yOffset);
        }
        descender = glyph.codePoint == 'g' ? -glyph.yOffset : descender;
    }
    QVERIFY(descender > 1);
    const Models::Character *h = font->getCharacter("H");
    QCOMPARE(bdf.ascent, metrics ? qCeil(written.value("ascent").toDouble()) : qMax(qRound(h->getBaseLine() - h->getUpLine()), above));
    QCOMPARE(bdf.descent, metrics ? qCeil(written.value("descent").toDouble()) : below);
    // The box over all glyphs holds them even where the font's own line lets a glyph reach beyond it, as '|' does.
    const QRegularExpressionMatch box = QRegularExpression(QStringLiteral("\nFONTBOUNDINGBOX \\d+ (\\d+) -?\\d+ (-?\\d+)\n"))
                                            .match(QString::fromLatin1(readFile(dir.filePath("fit.bdf"))));
    QVERIFY(box.hasMatch());
    QCOMPARE(box.captured(1).toInt() + box.captured(2).toInt(), above);
    QCOMPARE(-box.captured(2).toInt(), below);
    QCOMPARE(bdf.pixelSize, metrics ? written.value("pixelSize").toInt() : bdf.ascent + bdf.descent);
    const QString bdftopcf = QStandardPaths::findExecutable(QStringLiteral("bdftopcf"));
    if (!bdftopcf.isEmpty()) {
        QCOMPARE(QProcess::execute(bdftopcf, {dir.filePath("fit.bdf"), "-o", dir.filePath("fit.pcf")}), 0);
    }
}

QTEST_MAIN(ConvertTest)
#include "tst_convert.moc"
