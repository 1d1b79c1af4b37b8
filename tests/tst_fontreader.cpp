#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"
#include "iomanager/tokenguard_p.h"

#include "glyphrenderer.h"
#include "installedfonts.h"
#include "stderrcapture.h"
#include "testfiles.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using IOManager::FontFileManager;
using Models::Character;
using Models::CharacterPicture;
using Models::Font;

namespace {

QImage noisyImage(int width, int height, QImage::Format format, quint32 seed)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = random.generate();
        }
    }
    return image.convertToFormat(format);
}

QImage glyphImage(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(0x00FFFFFF);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1 + seed % 3));
    painter.drawEllipse(QRectF(1, 2, width - 2 - seed % 4, height - 4));
    painter.drawLine(0, height - 1, width - 1, seed % height);
    return image;
}

/* The font in one line: name, then per letter its value, anchors and pictures. */
QString summary(const Font *font)
{
    if (!font) {
        return QStringLiteral("null");
    }
    QStringList letters;
    for (const Character *letter : font->getCharacters()) {
        QStringList pictures;
        for (const CharacterPicture *picture : letter->getPictures()) {
            const QImage image = picture->getImage();
            QString text = QString::number(picture->getId()) + ':';
            if (image.isNull()) {
                text += QStringLiteral("null");
            } else {
                text += QStringLiteral("%1x%2/%3=").arg(image.width()).arg(image.height()).arg(int(image.format()));
                QStringList values;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        values << QString::number(image.pixel(x, y));
                    }
                }
                text += values.join(',');
            }
            if (picture->getDegradationLevel() != 0.0f) {
                text += QStringLiteral("~level");
            }
            pictures << text;
        }
        letters << QStringLiteral("%1(%2,%3,%4,%5)[%6]")
                       .arg(letter->getCharacterValue())
                       .arg(letter->getUpLine())
                       .arg(letter->getBaseLine())
                       .arg(letter->getLeftLine())
                       .arg(letter->getRightLine())
                       .arg(pictures.join(' '));
    }
    return font->getName() + '{' + letters.join(';') + '}';
}

QByteArray anchor(const QByteArray &up = "0", const QByteArray &base = "100", const QByteArray &left = "0",
                  const QByteArray &right = "100")
{
    return "<anchor>\n<upLine>" + up + "</upLine><baseLine>" + base + "</baseLine><leftLine>" + left
        + "</leftLine><rightLine>" + right + "</rightLine></anchor>\n";
}

QByteArray picture(const QByteArray &id, const QByteArray &width, const QByteArray &height, const QByteArray &format,
                   const QByteArray &data)
{
    return "<picture id=\"" + id + "\"><imageData><width>" + width + "</width><height>" + height
        + "</height><format>" + format + "</format><degradationlevel>0.5</degradationlevel><data>" + data
        + "</data></imageData></picture>\n";
}

QByteArray onePixel(const QByteArray &id = "0", const QByteArray &value = "4278190080")
{
    return picture(id, "1", "1", "5", value);
}

QByteArray document(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body;
}

// A DTD whose tenth entity would expand to 10^9 characters.
QByteArray entityBomb()
{
    QByteArray dtd = "<!DOCTYPE font [\n<!ENTITY e0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY e" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            dtd += "&e" + QByteArray::number(level - 1) + ';';
        }
        dtd += "\">\n";
    }
    return document(dtd + "]>\n<font name=\"&e9;\"><letter char=\"&e9;\">" + anchor() + onePixel()
                    + "</letter></font>\n");
}

/*
 * The first way in which read differs from what was written, or an empty text. Degradation levels are not
 * read back, and colour-table images come back as ARGB32 with the same pixels.
 */
QString difference(const Font &written, const Font &read)
{
    if (read.getName() != written.getName() || read.getCharacters().keys() != written.getCharacters().keys()) {
        return QStringLiteral("name or letters");
    }
    for (const Character *original : written.getCharacters()) {
        const Character *copy = read.getCharacter(original->getCharacterValue());
        const QString where = QStringLiteral("letter \"%1\"").arg(original->getCharacterValue());
        if (copy->getCharacterValue() != original->getCharacterValue() || copy->getUpLine() != original->getUpLine()
            || copy->getBaseLine() != original->getBaseLine() || copy->getLeftLine() != original->getLeftLine()
            || copy->getRightLine() != original->getRightLine()) {
            return where + QStringLiteral(": value or anchors");
        }
        if (copy->pictureCount() != original->pictureCount()) {
            return where + QStringLiteral(": picture count");
        }
        for (int i = 0; i < original->pictureCount(); ++i) {
            const CharacterPicture *before = original->getPictures().at(i);
            const CharacterPicture *after = copy->getPictures().at(i);
            const QImage expected = before->getImage();
            const QImage image = after->getImage();
            const QImage::Format format = expected.format();
            const bool colourTable = format == QImage::Format_Mono || format == QImage::Format_MonoLSB
                || format == QImage::Format_Indexed8;
            if (after->getId() != before->getId() || after->getDegradationLevel() != 0.0f
                || image.isNull() != expected.isNull() || image.size() != expected.size()
                || (!expected.isNull() && image.format() != (colourTable ? QImage::Format_ARGB32 : format))) {
                return where + QStringLiteral(": picture %1 id, level, size or format").arg(i);
            }
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixel(x, y) != expected.pixel(x, y)) {
                        return where + QStringLiteral(": picture %1 pixel %2,%3").arg(i).arg(x).arg(y);
                    }
                }
            }
        }
    }
    return QString();
}

} // namespace

class tst_FontReader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void tokenGuard_data();
    void tokenGuard();
    void roundTrip_data();
    void roundTrip();
    void renderedRoundTrip();
    void tokenWalk_data();
    void tokenWalk();
    void longPixelLists_data();
    void longPixelLists();
    void cannotOpen_data();
    void cannotOpen();
    void sameFontUnderQt5AndQt6();
    void compressed_data();
    void compressed();

private:
    QString writeFile(const QByteArray &bytes);
    void roundTrip(const Font &written);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_FontReader::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

// Written, then read back silently to the same font.
void tst_FontReader::roundTrip(const Font &written)
{
    const QString path = m_dir->filePath(QStringLiteral("round.of"));
    QVERIFY(FontFileManager::fontToFile(&written, path));
    StderrCapture capture;
    const std::unique_ptr<Font> read(FontFileManager::fontFromFile(path));
    QCOMPARE(capture.text(), QByteArray());
    QVERIFY(read);
    QCOMPARE(difference(written, *read), QString());
}

QString tst_FontReader::writeFile(const QByteArray &bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("in.of"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return QString();
    }
    return path;
}

void tst_FontReader::roundTrip_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("argb32") << QImage::Format_ARGB32 << 26 << 51;
    QTest::newRow("argb32 wide") << QImage::Format_ARGB32 << 5000 << 2;
    QTest::newRow("premultiplied") << QImage::Format_ARGB32_Premultiplied << 13 << 7;
    QTest::newRow("rgb32") << QImage::Format_RGB32 << 13 << 7;
    QTest::newRow("rgb32 wide") << QImage::Format_RGB32 << 5000 << 2;
    QTest::newRow("rgb16") << QImage::Format_RGB16 << 13 << 7;
    QTest::newRow("grayscale8") << QImage::Format_Grayscale8 << 13 << 7;
    QTest::newRow("rgba64") << QImage::Format_RGBA64 << 13 << 7;
    QTest::newRow("bgr888") << QImage::Format_BGR888 << 13 << 7;
    QTest::newRow("indexed8") << QImage::Format_Indexed8 << 13 << 7;
    QTest::newRow("mono") << QImage::Format_Mono << 13 << 7;
    QTest::newRow("mono lsb") << QImage::Format_MonoLSB << 13 << 7;
}

void tst_FontReader::roundTrip()
{
    QFETCH(QImage::Format, format);
    QFETCH(int, width);
    QFETCH(int, height);

    Font written(QString::fromUtf8("Round & \"trip\" \xC3\xA9"));
    const QString values = QStringLiteral(" !\"&'<>AZaz~") + QChar(0xA8) + QChar(0xE9) + QStringLiteral("\t\n");
    for (int i = 0; i < values.size(); ++i) {
        auto *letter = new Character(values.mid(i, 1), -i * 1.5, 100 + i, 0.25, 1234.5);
        letter->addPicture(new CharacterPicture(noisyImage(width, height, format, i), i, 0.5f));
        if (i % 3 == 0) {
            letter->addPicture(new CharacterPicture(glyphImage(width, height, i).convertToFormat(format), -i, 0.0f));
        }
        if (i == 4) {
            letter->addPicture(new CharacterPicture(QImage(), 7, 0.0f));
        }
        written.addCharacter(letter);
    }
    written.addCharacter(new Character(QStringLiteral("multi")));
    written.getCharacter(QStringLiteral("multi"))->addPicture(new CharacterPicture(QImage(0, 4, format), 1, 0.0f));

    roundTrip(written);
}

void tst_FontReader::renderedRoundTrip()
{
    const QFont dejaVu = InstalledFonts::font(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 32);
    QVERIFY2(dejaVu.family() == QLatin1String("DejaVu Sans"),
             "DejaVu Sans is not installed (scripts/setup.sh installs fonts-dejavu-core)");
    Font written(QStringLiteral("DejaVu_Sans__Book__32.of"));
    QVERIFY(renderGlyphs(dejaVu, &written));
    QCOMPARE(written.getCharacters().size(), 100);

    roundTrip(written);
}

void tst_FontReader::tokenWalk_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QByteArray>("messages"); // %1 stands for the path

    const QByteArray lineA = "<letter char=\"a\">" + anchor() + onePixel() + "</letter>\n";
    const QString fontA = QStringLiteral("f{a(0,100,0,100)[0:1x1/5=4278190080]}");

    QTest::newRow("plain") << document("<font name=\"f\">" + lineA + "</font>\n") << fontA << QByteArray();
    QTest::newRow("no name attribute")
        << document("<font>" + lineA + "</font>") << QStringLiteral("{a(0,100,0,100)[0:1x1/5=4278190080]}")
        << QByteArray();
    QTest::newRow("no font element")
        << document("<other>" + lineA + "</other>") << QStringLiteral("no_name{}") << QByteArray();
    QTest::newRow("letter outside font")
        << document("<root>" + lineA + "<font name=\"f\"></font><letter char=\"b\">" + anchor() + onePixel()
                    + "</letter></root>")
        << QStringLiteral("f{}") << QByteArray();
    QTest::newRow("upLine right after anchor")
        << document("<font name=\"f\"><letter char=\"a\"><anchor><upLine>5</upLine><baseLine>6</baseLine>"
                    "<leftLine>7</leftLine><rightLine>8</rightLine></anchor>" + onePixel() + "</letter></font>")
        << QStringLiteral("f{a(0,6,7,8)[0:1x1/5=4278190080]}") << QByteArray();
    QTest::newRow("missing and odd anchor lines")
        << document("<font name=\"f\"><letter char=\"a\"><anchor>\n<upLine>x</upLine><baseLine/>"
                    "<rightLine> 1.5e1 </rightLine></anchor>" + onePixel() + "</letter>"
                    "<letter char=\"b\">" + onePixel() + "</letter></font>")
        << QStringLiteral("f{a(0,0,0,15)[0:1x1/5=4278190080];b(0,100,0,100)[0:1x1/5=4278190080]}")
        << QByteArray();
    QTest::newRow("anchor lines found at any depth")
        << document("<font name=\"f\"><letter char=\"a\"><anchor> <x><leftLine>3</leftLine></x></anchor>"
                    + onePixel() + "</letter></font>")
        << QStringLiteral("f{a(0,100,3,100)[0:1x1/5=4278190080]}") << QByteArray();
    QTest::newRow("duplicate char keeps the last")
        << document("<font name=\"f\">" + lineA + "<letter char=\"a\">" + anchor("1") + onePixel("9", "1")
                    + "</letter></font>")
        << QStringLiteral("f{a(1,100,0,100)[9:1x1/5=1]}") << QByteArray();
    QTest::newRow("letter without picture")
        << document("<font name=\"f\"><letter char=\"&quot;z\">" + anchor() + "</letter>" + lineA + "</font>")
        << fontA << QByteArray("Warning: No picture found for letter \"\"z\"\n in font file: %1\n");
    QTest::newRow("picture nested deeper")
        << document("<font name=\"f\"><letter char=\"a\"><group><picture id=\"4\"><width>1</width><height>2"
                    "</height><format>5</format><data>7,8</data><imageData/></picture></group>"
                    "</letter></font>")
        << QStringLiteral("f{a(0,100,0,100)[4:1x2/5=7,8]}") << QByteArray();
    QTest::newRow("picture without imageData end runs on")
        << document("<font name=\"f\"><letter char=\"a\">" + anchor()
                    + "<picture id=\"1\"><width>2</width></picture></letter><letter char=\"b\">" + anchor()
                    + onePixel("2", "5") + "</letter><letter char=\"c\">" + anchor() + onePixel("3", "6")
                    + "</letter></font>")
        << QStringLiteral("f{a(0,100,0,100)[1:1x1/5=5];c(0,100,0,100)[3:1x1/5=6]}") << QByteArray();
    QTest::newRow("picture cut off by the end")
        << document("<font name=\"f\"><letter char=\"a\"><picture id=\"1\"><width>1</width><height>1</height>")
        << QStringLiteral("f{a(0,100,0,100)[1:null]}")
        << QByteArray("Warning: pixel count does not match picture size in input font file: %1\n"
                      "Warning: malformed input font file: %1\n");
    QTest::newRow("malformed mid-file keeps earlier letters")
        << document("<font name=\"f\">" + lineA + "<letter char=\"b\">" + anchor() + onePixel("1", "2")
                    + "<oops></letter><letter char=\"c\">" + anchor() + onePixel() + "</letter></font>")
        << QStringLiteral("f{a(0,100,0,100)[0:1x1/5=4278190080];b(0,100,0,100)[1:1x1/5=2]}")
        << QByteArray("Warning: malformed input font file: %1\n");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("no_name{}")
                                << QByteArray("Warning: malformed input font file: %1\n");
    QTest::newRow("not xml") << QByteArray("GIF89a\x01\x02") << QStringLiteral("no_name{}")
                             << QByteArray("Warning: malformed input font file: %1\n");
    QTest::newRow("invalid utf-8")
        << document("<font name=\"f\xff\xfe\">" + lineA + "</font>") << QStringLiteral("no_name{}")
        << QByteArray("Warning: malformed input font file: %1\n");
    QTest::newRow("entity bomb") << entityBomb() << QStringLiteral("no_name{}")
                                 << QByteArray("Warning: malformed input font file: %1\n");
    QTest::newRow("harmless dtd")
        << document("<!DOCTYPE font>\n<font name=\"f\">" + lineA + "</font>") << QStringLiteral("no_name{}")
        << QByteArray("Warning: malformed input font file: %1\n");

    // Pixel lists, sizes and formats.
    const QByteArray countWarning = "Warning: pixel count does not match picture size in input font file: %1\n";
    auto pictureRow = [](const QByteArray &pictureXml) {
        return document("<font name=\"f\"><letter char=\"a\">" + pictureXml + "</letter></font>");
    };
    QTest::newRow("writer's null picture") << pictureRow(picture("2", "0", "0", "0", ""))
                                           << QStringLiteral("f{a(0,100,0,100)[2:null]}") << QByteArray();
    QTest::newRow("values as toUInt reads them")
        << pictureRow(picture("0", "4", "2", "5", " 5,+6,,-1,4294967297,0004294967295,1e3,7 "))
        << QStringLiteral("f{a(0,100,0,100)[0:4x2/5=5,6,0,0,0,4294967295,0,7]}") << QByteArray();
    QTest::newRow("runs of one text")
        << pictureRow(picture("0", "4", "3", "5", "7,7,7, 7, 7,,,12,12,120,1200,1200"))
        << QStringLiteral("f{a(0,100,0,100)[0:4x3/5=7,7,7,7,7,0,0,12,12,120,1200,1200]}") << QByteArray();
    QTest::newRow("too few values") << pictureRow(picture("0", "2", "2", "5", "1,2,3"))
                                    << QStringLiteral("f{a(0,100,0,100)[0:null]}") << countWarning;
    QTest::newRow("too many values") << pictureRow(picture("0", "1", "1", "5", "1,2"))
                                     << QStringLiteral("f{a(0,100,0,100)[0:null]}") << countWarning;
    QTest::newRow("size without data") << pictureRow(picture("0", "3", "1", "5", ""))
                                       << QStringLiteral("f{a(0,100,0,100)[0:null]}") << countWarning;
    QTest::newRow("huge size, three values") << pictureRow(picture("0", "100000", "100000", "5", "1,2,3"))
                                             << QStringLiteral("f{a(0,100,0,100)[0:null]}") << countWarning;
    QTest::newRow("size overflowing int") << pictureRow(picture("0", "65536", "65536", "5", "1"))
                                          << QStringLiteral("f{a(0,100,0,100)[0:null]}") << countWarning;
    QTest::newRow("negative size") << pictureRow(picture("0", "-2", "-3", "5", "1,2,3,4,5,6"))
                                   << QStringLiteral("f{a(0,100,0,100)[0:null]}") << countWarning;
    const QByteArray formatWarning = "Warning: unknown picture format in input font file: %1\n";
    QTest::newRow("format 999") << pictureRow(picture("0", "1", "1", "999", "1"))
                                << QStringLiteral("f{a(0,100,0,100)[0:null]}") << formatWarning;
    QTest::newRow("format -7") << pictureRow(picture("0", "1", "1", "-7", "1"))
                               << QStringLiteral("f{a(0,100,0,100)[0:null]}") << formatWarning;
    QTest::newRow("format missing") << pictureRow("<picture><imageData><width>1</width><height>1</height>"
                                                  "<data>1</data></imageData></picture>")
                                    << QStringLiteral("f{a(0,100,0,100)[0:null]}") << formatWarning;
    QTest::newRow("mono read as argb32") << pictureRow(picture("0", "2", "1", "1", "4278190080,4294967295"))
                                         << QStringLiteral("f{a(0,100,0,100)[0:2x1/5=4278190080,4294967295]}")
                                         << QByteArray();
    QTest::newRow("rgb16") << pictureRow(picture("0", "2", "1", "7", "4278190080,4294967295"))
                           << QStringLiteral("f{a(0,100,0,100)[0:2x1/7=4278190080,4294967295]}") << QByteArray();
    // Qt 6.4 adds formats 30 to 35, floating point, which it reads like the others and Qt 5 refuses.
    for (int format = 30; format <= 35; ++format) {
        const bool known = format < QImage::NImageFormats;
        QTest::addRow("format %d", format)
            << pictureRow(picture("0", "1", "1", QByteArray::number(format), "4278190080"))
            << (known ? QStringLiteral("f{a(0,100,0,100)[0:1x1/%1=4278190080]}").arg(format)
                      : QStringLiteral("f{a(0,100,0,100)[0:null]}"))
            << (known ? QByteArray() : formatWarning);
    }
    QTest::newRow("first format unknown to the running Qt")
        << pictureRow(picture("0", "1", "1", QByteArray::number(QImage::NImageFormats), "1"))
        << QStringLiteral("f{a(0,100,0,100)[0:null]}") << formatWarning;
    // U+00A0, U+2003 and U+0085 around numbers, which Qt 6's toInt() alone would not pass over.
    QTest::newRow("numbers in Unicode white space")
        << pictureRow(picture("\xC2\xA0" "7", "\xE2\x80\x83" "2", "1\xC2\x85", "5\xC2\xA0", "1,\xC2\xA0" "2\xC2\x85"))
        << QStringLiteral("f{a(0,100,0,100)[7:2x1/5=1,2]}") << QByteArray();
    QTest::newRow("data before size")
        << pictureRow("<picture id=\"1\"><imageData><data>1,2,3</data><format>5</format><width>3</width>"
                      "<height>1</height></imageData></picture>")
        << QStringLiteral("f{a(0,100,0,100)[1:3x1/5=1,2,3]}") << QByteArray();
    QTest::newRow("size changed after data")
        << pictureRow("<picture id=\"1\"><imageData><width>3</width><height>2</height><format>5</format>"
                      "<data>1,2,3,4,5,6</data><width>2</width><height>3</height><format>4</format>"
                      "</imageData></picture>")
        << QStringLiteral("f{a(0,100,0,100)[1:2x3/4=4278190081,4278190082,4278190083,4278190084,4278190085,"
                          "4278190086]}")
        << QByteArray();
    QTest::newRow("later data replaces earlier")
        << pictureRow("<picture id=\"1\"><imageData><width>1</width><height>1</height><format>5</format>"
                      "<data>1</data><data>2,3</data><width>2</width></imageData></picture>")
        << QStringLiteral("f{a(0,100,0,100)[1:2x1/5=2,3]}") << QByteArray();
    QTest::newRow("comment after data start")
        << pictureRow("<picture><imageData><width>1</width><height>1</height><format>5</format>"
                      "<data><!--9-->8</data></imageData></picture>")
        << QStringLiteral("f{a(0,100,0,100)[0:1x1/5=9]}") << QByteArray();
}

void tst_FontReader::tokenWalk()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, font);
    QFETCH(QByteArray, messages);

    const QString path = writeFile(bytes);
    QVERIFY(!path.isEmpty());
    StderrCapture capture;
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<Font> read(FontFileManager::fontFromFile(path));
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(capture.text(), QByteArray(messages).replace("%1", path.toUtf8()));
    QCOMPARE(summary(read.get()), font);
    // Generous: only an expansion or a huge allocation would get near it.
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
}

void tst_FontReader::longPixelLists_data()
{
    QTest::addColumn<int>("values");
    QTest::addColumn<int>("width");
    // Counts on both sides of the eight-character steps and of the 16-bit lane blocks of the comma count.
    for (const int values : {1, 2, 3, 7, 8, 9, 17, 40000}) {
        QTest::addRow("%d values", values) << values << values;
    }
    QTest::newRow("one value missing") << 39999 << 40000;
    QTest::newRow("one value too many") << 40001 << 40000;
}

void tst_FontReader::longPixelLists()
{
    QFETCH(int, values);
    QFETCH(int, width);
    const quint32 samples[] = {4278190080u, 16777215u, 0u, 2147483648u, 7u};
    QByteArray data;
    for (int i = 0; i < values; ++i) {
        data += QByteArray::number(samples[i % 5]) + ',';
    }
    data.chop(1);
    const QString path = writeFile(document("<font><letter char=\"a\">"
                                            + picture("0", QByteArray::number(width), "1", "5", data)
                                            + "</letter></font>"));
    StderrCapture capture;
    const std::unique_ptr<Font> font(FontFileManager::fontFromFile(path));
    const QByteArray messages = capture.text();
    QVERIFY(font);
    const QImage image = font->getCharacter(QStringLiteral("a"))->getPictures().at(0)->getImage();
    if (values != width) {
        QCOMPARE(messages, "Warning: pixel count does not match picture size in input font file: " + path.toUtf8() + "\n");
        QVERIFY(image.isNull());
        return;
    }
    QCOMPARE(messages, QByteArray());
    QCOMPARE(image.width(), width);
    for (int x = 0; x < width; ++x) {
        QCOMPARE(image.pixel(x, 0), samples[x % 5]);
    }
}

void tst_FontReader::sameFontUnderQt5AndQt6()
{
    // The writer's file of every format both know, read and written again under Qt 5.
    StderrCapture capture;
    const std::unique_ptr<Font> read(FontFileManager::fontFromFile(QStringLiteral(QMF_TEST_DATA "/formats.of")));
    QCOMPARE(capture.text(), QByteArray());
    QVERIFY(read);
    const QString path = m_dir->filePath(QStringLiteral("again.of"));
    QVERIFY(FontFileManager::fontToFile(read.get(), path));
    QCOMPARE(readAll(path), readAll(QStringLiteral(QMF_TEST_DATA "/formats-read.of")));
}

void tst_FontReader::cannotOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << QStringLiteral("missing.of");
    QTest::newRow("missing directory") << QStringLiteral("no/such/dir/font.of");
    QTest::newRow("directory") << QStringLiteral(".");
}

void tst_FontReader::cannotOpen()
{
    QFETCH(QString, name);
    const QString path = name == QLatin1String(".") ? m_dir->path() : m_dir->filePath(name);
    StderrCapture capture;
    Font *font = FontFileManager::fontFromFile(path);
    QCOMPARE(capture.text(), "Warning: unable to open input font file: " + path.toUtf8() + "\n");
    QCOMPARE(font, nullptr);
}

void tst_FontReader::tokenGuard_data()
{
    // A limit of 1000 bytes, which the reader's 8 KB blocks round up: only one token longer than that
    // ends the input, whatever its kind.
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("tripped");
    QTest::newRow("many short tokens") << "<a>" + QByteArray("<b>xy</b>").repeated(2000) + "</a>" << false;
    QTest::newRow("long text") << "<a>" + QByteArray(50000, '7') + "</a>" << true;
    QTest::newRow("long comment holding <") << "<a><!--" + QByteArray("<x").repeated(25000) + "--></a>" << true;
    QTest::newRow("long attribute") << "<a b=\"" + QByteArray(50000, 'c') + "\"/>" << true;
}

void tst_FontReader::tokenGuard()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, tripped);
    QBuffer source(&document);
    QVERIFY(source.open(QIODevice::ReadOnly));
    IOManager::Private::TokenGuard guard(&source, 1000);
    QXmlStreamReader reader(&guard);
    while (!reader.atEnd()) {
        reader.readNext();
        IOManager::Private::TokenGuard::tokenRead(reader);
    }
    QCOMPARE(guard.tripped(), tripped);
    QCOMPARE(reader.hasError(), tripped);
}

void tst_FontReader::compressed_data()
{
    QTest::addColumn<QString>("form"); // of the gzip file, always named in.of
    QTest::addColumn<bool>("whole");   // whether the font reads back whole and silently
    QTest::newRow("gzip") << "one member" << true;
    QTest::newRow("gzip of two members") << "two members" << true;
    QTest::newRow("gzip cut short") << "cut" << false;
    QTest::newRow("gzip damaged") << "damaged" << false;
}

void tst_FontReader::compressed()
{
    QFETCH(QString, form);
    QFETCH(bool, whole);
    Font written(QStringLiteral("compressed"));
    for (int i = 0; i < 40; ++i) {
        auto *letter = new Character(QString(QChar(0x41 + i)), 0, 100, 0, 100);
        letter->addPicture(new CharacterPicture(glyphImage(30, 40, i), 0, 0.0f));
        written.addCharacter(letter);
    }
    QBuffer plain;
    QVERIFY(plain.open(QIODevice::WriteOnly) && FontFileManager::fontToDevice(&written, &plain));
    const auto gzip = [](const QByteArray &bytes) {
        QProcess process;
        process.start(QStringLiteral("gzip"), {QStringLiteral("-cn")});
        process.write(bytes);
        process.closeWriteChannel();
        process.waitForFinished();
        return process.readAllStandardOutput();
    };
    const QByteArray &bytes = plain.data();
    QByteArray compressed = form == QLatin1String("two members") ? gzip(bytes.left(bytes.size() / 3)) + gzip(bytes.mid(bytes.size() / 3))
                                                                 : gzip(bytes);
    if (form == QLatin1String("cut")) {
        compressed.truncate(compressed.size() / 2);
    } else if (form == QLatin1String("damaged")) {
        compressed[compressed.size() / 2] = char(~compressed.at(compressed.size() / 2));
    }
    const QString path = writeFile(compressed);
    StderrCapture capture;
    const std::unique_ptr<Font> read(FontFileManager::fontFromFile(path));
    QVERIFY(read);
    if (whole) {
        QCOMPARE(capture.text(), QByteArray());
        QCOMPARE(difference(written, *read), QString());
    } else {
        // As a file cut short reads: what was read whole is kept, and the last line says malformed.
        QVERIFY2(capture.text().endsWith("Warning: malformed input font file: " + path.toUtf8() + "\n"), capture.text().constData());
        QVERIFY(read->getCharacters().size() < 40);
    }
}

QTEST_MAIN(tst_FontReader)
#include "tst_fontreader.moc"
