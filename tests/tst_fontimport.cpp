#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include "stderrcapture.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using IOManager::FontFileManager;
using Models::Character;
using Models::CharacterPicture;
using Models::Font;

typedef QMap<QString, QString> Substitutions;

namespace {

QStringList debugLines;

void collectDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg) {
        debugLines.append(message);
    }
}

// Imports path with the debug lines collected and standard error captured.
std::unique_ptr<Font> importDirectory(const QString &path, const Substitutions &substitutions,
                                      QByteArray *errors = nullptr)
{
    debugLines.clear();
    StderrCapture capture;
    const QtMessageHandler previous = qInstallMessageHandler(collectDebug);
    std::unique_ptr<Font> font(FontFileManager::fontFromDirectory(path, substitutions));
    qInstallMessageHandler(previous);
    const QByteArray text = capture.text();
    if (errors) {
        *errors = text;
    }
    return font;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QImage tinyGlyph()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    image.setPixel(1, 1, qRgb(255, 255, 255));
    return image;
}

// "letter:id,id" per letter, in key order.
QStringList describe(const Font &font)
{
    QStringList lines;
    for (const Character *letter : font.getCharacters()) {
        QStringList ids;
        for (const CharacterPicture *picture : letter->getPictures()) {
            ids.append(QString::number(picture->getId()));
        }
        lines.append(letter->getCharacterValue() + QLatin1Char(':') + ids.join(QLatin1Char(',')));
    }
    return lines;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(data.size(), chunk.data());
    const QByteArray body = QByteArray(type) + data;
    quint32 crc = 0xffffffffu;
    for (const char byte : body) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    QByteArray tail(4, '\0');
    qToBigEndian<quint32>(crc ^ 0xffffffffu, tail.data());
    return chunk + body + tail;
}

// A PNG that declares width x height 8-bit grey pixels and holds rowBytes of zero rows, a few KB compressed.
QByteArray pngHeader(quint32 width, quint32 height, int rowBytes = 1 << 20)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8;
    const QByteArray rows = qCompress(QByteArray(rowBytes, '\0')).mid(4); // zlib stream without Qt's length
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", rows)
           + pngChunk("IEND", QByteArray());
}

// A 24-bit BMP that declares width x height pixels and holds 4 KB of them.
QByteArray bmpHeader(qint32 width, qint32 height)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + 4096) << quint32(0) << quint32(54);
    out << quint32(40) << width << height << quint16(1) << quint16(24);
    out << quint32(0) << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    return bytes + QByteArray(4096, '\0');
}

// An 8-bit run-length encoded BMP, 64 x 64, every row one run of colour index 200, cut after keptRows rows.
QByteArray rle8Bmp(int keptRows)
{
    QByteArray runs;
    for (int y = 0; y < keptRows; ++y) {
        runs += QByteArray::fromHex("40c80000"); // 64 pixels of index 200, end of line
    }
    if (keptRows == 64) {
        runs += QByteArray::fromHex("0001"); // end of bitmap
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataOffset = 54 + 256 * 4;
    out.writeRawData("BM", 2);
    out << quint32(dataOffset + 64 * 4 + 2) << quint32(0) << dataOffset;
    out << quint32(40) << qint32(64) << qint32(64) << quint16(1) << quint16(8) << quint32(1) << quint32(64 * 4 + 2)
        << qint32(0) << qint32(0) << quint32(256) << quint32(0);
    for (quint32 i = 0; i < 256; ++i) {
        out << (i << 16 | i << 8 | i); // grey levels, index 0 black
    }
    return bytes + runs;
}

QByteArray encoded(int width, int height, const char *format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A progressive JPEG whose last scan is repeated until it has scans scans in all.
QByteArray progressiveJpeg(int scans)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    const int lastScan = bytes.lastIndexOf("\xFF\xDA");
    const QByteArray scan = bytes.mid(lastScan, bytes.size() - 2 - lastScan);
    const int written = bytes.count("\xFF\xDA");
    bytes.chop(2);
    for (int i = written; i < scans; ++i) {
        bytes += scan;
    }
    return bytes + "\xFF\xD9";
}

} // namespace

class tst_FontImport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void alphaFromDarkness_data();
    void alphaFromDarkness();
    void argb32KeepsItsAlpha();
    void fileNames_data();
    void fileNames();
    void substitutions_data();
    void substitutions();
    void noValidImage_data();
    void noValidImage();
    void refusedImages_data();
    void refusedImages();
    void damagedImages_data();
    void damagedImages();
    void runLengthBmpLeavesNoMemory();
    void specialFiles();
    void missingDirectory();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_FontImport::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_FontImport::alphaFromDarkness_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QImage::Format>("imageFormat");
    QTest::newRow("png rgb") << QByteArray("png") << QImage::Format_RGB32;
    QTest::newRow("png palette") << QByteArray("png") << QImage::Format_Indexed8;
    QTest::newRow("bmp") << QByteArray("bmp") << QImage::Format_RGB32;
}

void tst_FontImport::alphaFromDarkness()
{
    QFETCH(QByteArray, format);
    QFETCH(QImage::Format, imageFormat);

    const QRgb colours[] = {qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(128, 128, 128),
                            qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255)};
    const int alphas[] = {0, 255, 127, 168, 128, 216};
    QImage image(6, 1, QImage::Format_RGB32);
    for (int x = 0; x < 6; ++x) {
        image.setPixel(x, 0, colours[x]);
    }
    QVERIFY(image.convertToFormat(imageFormat).save(path(QStringLiteral("x_A_3.png")), format.constData()));

    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions());
    QCOMPARE(describe(*font), QStringList{QStringLiteral("A:3")});
    const Character *letter = font->getCharacter(QStringLiteral("A"));
    QCOMPARE(letter->getUpLine(), 0.0);
    QCOMPARE(letter->getBaseLine(), 100.0);
    QCOMPARE(letter->getLeftLine(), 0.0);
    QCOMPARE(letter->getRightLine(), 100.0);
    const CharacterPicture *picture = letter->getPictures().first();
    QCOMPARE(picture->getDegradationLevel(), 0.0f);
    const QImage result = picture->getImage();
    QCOMPARE(result.format(), QImage::Format_ARGB32);
    QCOMPARE(result.size(), QSize(6, 1));
    for (int x = 0; x < 6; ++x) {
        const QRgb expected = (colours[x] & 0x00ffffffu) | (quint32(alphas[x]) << 24);
        QCOMPARE(QString::number(result.pixel(x, 0), 16), QString::number(expected, 16));
    }
}

void tst_FontImport::argb32KeepsItsAlpha()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 40));
    image.setPixel(1, 0, qRgba(255, 255, 255, 255)); // white stays opaque: no alpha from darkness
    image.setPixel(2, 0, qRgba(0, 0, 0, 0));
    image.setPixel(0, 1, qRgba(200, 100, 50, 1));
    image.setPixel(1, 1, qRgba(0, 0, 0, 255));
    image.setPixel(2, 1, qRgba(128, 128, 128, 128));
    QVERIFY(image.save(path(QStringLiteral("x_A_1.png")), "png"));
    QCOMPARE(QImage(path(QStringLiteral("x_A_1.png"))).format(), QImage::Format_ARGB32);

    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions());
    const QImage result = font->getCharacter(QStringLiteral("A"))->getPictures().first()->getImage();
    QCOMPARE(result.format(), QImage::Format_ARGB32);
    QCOMPARE(result, image);
}

void tst_FontImport::fileNames_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("letters");
    QTest::addColumn<QStringList>("decoded");

    const QString eAcute(QChar(0xe9));
    QTest::newRow("letter and id") << QStringList{"x_A_3.png"} << QStringList{"A:3"} << QStringList();
    QTest::newRow("code point, lower case")
        << QStringList{"x_u+00e9_12.png"} << QStringList{eAcute + ":12"}
        << QStringList{"\t char =  \"" + eAcute + "\"  code=  \"00e9\""};
    QTest::newRow("code point, upper case")
        << QStringList{"x_U+00E9_12.png"} << QStringList{eAcute + ":12"}
        << QStringList{"\t char =  \"" + eAcute + "\"  code=  \"00E9\""};
    QTest::newRow("two pictures in listing order")
        << QStringList{"x_u+0041_1.png", "x_A_2.png", "X_a_3.png"} << QStringList{"A:2,1", "a:3"}
        << QStringList{"\t char =  \"A\"  code=  \"0041\""};
    QTest::newRow("every extension")
        << QStringList{"x_A_1.jpg", "x_A_2.png", "x_A_3.JPG", "x_A_4.PNG", "x_A_5.bmp", "x_A_6.BMP"}
        << QStringList{"A:1,2,3,4,5,6"} << QStringList();
    QTest::newRow("other extensions")
        << QStringList{"x_A_1.jpeg", "x_A_2.Png", "x_A_3.gif", "x_A_4.png.txt", "x_A_5.pNG"} << QStringList()
        << QStringList();
    QTest::newRow("refused letter fields")
        << QStringList{"x_+_1.png", "x_u+41_1.png", "x_u+00041_1.png", "x_u+00+1_1.png", "x_v+0041_1.png",
                       "x_[pasdecode]_4.png", "x_uu+0041_1.png"}
        << QStringList() << QStringList();
    QTest::newRow("fewer than two underscores")
        << QStringList{"A_1.png", "A1.png", "_1.png"} << QStringList() << QStringList();
    QTest::newRow("id ends at the first dot") << QStringList{"x_A_1.2.png"} << QStringList{"A:1"} << QStringList();
    QTest::newRow("underscore in id field") << QStringList{"x_A_B_3.png"} << QStringList{"A:0"} << QStringList();
    QTest::newRow("ids") << QStringList{"x_A_-7.png", "x_A_07.png", "x_A_.png", "x_A_1e3.png", "x_A_99999999999.png"}
                         << QStringList{"A:-7,0,7,0,0"} << QStringList();
    QTest::newRow("empty letter") << QStringList{"x__5.png"} << QStringList{":5"} << QStringList();
    QTest::newRow("full stop") << QStringList{"x_._3.png"} << QStringList{".:3"} << QStringList();
    QTest::newRow("long letter") << QStringList{"x_ab c_3.png"} << QStringList{"ab c:3"} << QStringList();
    QTest::newRow("prefix with dots, empty prefix")
        << QStringList{"a.b_A_1.png", "_A_2.png"} << QStringList{"A:2,1"} << QStringList();
    // Read although an OF font file cannot hold them: callers decide, and writing such a font fails.
    QTest::newRow("no hex digit") << QStringList{"x_u+zzzz_1.png"} << QStringList{QString(QChar(0)) + ":1"}
                                  << QStringList{"\t char =  \"\\u0000\"  code=  \"zzzz\""};
    QTest::newRow("leading hex digits") << QStringList{"x_u+4g00_1.png"} << QStringList{QString(QChar(4)) + ":1"}
                                        << QStringList{"\t char =  \"\\u0004\"  code=  \"4g00\""};
    QTest::newRow("lone surrogate") << QStringList{"x_u+d800_1.png"} << QStringList{QString(QChar(0xD800)) + ":1"}
                                    << QStringList{"\t char =  \"\\uD800\"  code=  \"d800\""};
    QTest::newRow("noncharacter") << QStringList{"x_u+fffe_1.png"} << QStringList{QString(QChar(0xFFFE)) + ":1"}
                                  << QStringList{"\t char =  \"\\uFFFE\"  code=  \"fffe\""};
    QTest::newRow("tab") << QStringList{"x_u+0009_1.png"} << QStringList{"\t:1"}
                         << QStringList{"\t char =  \"\\t\"  code=  \"0009\""};
    QTest::newRow("plus sign by code") << QStringList{"x_u+002b_1.png"} << QStringList{"+:1"}
                                       << QStringList{"\t char =  \"+\"  code=  \"002b\""};
}

void tst_FontImport::fileNames()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, letters);
    QFETCH(QStringList, decoded);

    for (const QString &name : files) {
        QVERIFY2(tinyGlyph().save(path(name), "png"), qPrintable(name));
    }
    QByteArray errors;
    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions(), &errors);
    QCOMPARE(font->getName(), QDir(m_dir->path()).dirName());
    QCOMPARE(describe(*font), letters);
    QCOMPARE(debugLines, QStringList{QStringLiteral("importing font ........")} + decoded);
    QCOMPARE(errors, QByteArray());
    for (const Character *letter : font->getCharacters()) {
        for (const CharacterPicture *picture : letter->getPictures()) {
            QCOMPARE(picture->getImage().size(), QSize(2, 2));
        }
    }
}

void tst_FontImport::substitutions_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<Substitutions>("map");
    QTest::addColumn<QStringList>("letters");

    QTest::newRow("letter and code point")
        << QStringList{"x_A_1.png", "x_u+0041_2.png"} << Substitutions{{"A", "Alpha"}} << QStringList{"Alpha:1,2"};
    QTest::newRow("applied once")
        << QStringList{"x_A_1.png", "x_B_2.png"} << Substitutions{{"A", "B"}, {"B", "Z"}}
        << QStringList{"B:1", "Z:2"};
    QTest::newRow("empty letter") << QStringList{"x__1.png"} << Substitutions{{"", " "}} << QStringList{" :1"};
    QTest::newRow("plus sign") << QStringList{"x_plus_1.png"} << Substitutions{{"plus", "+"}} << QStringList{"+:1"};
    QTest::newRow("case-sensitive") << QStringList{"x_a_1.png"} << Substitutions{{"A", "B"}} << QStringList{"a:1"};
}

void tst_FontImport::substitutions()
{
    QFETCH(QStringList, files);
    QFETCH(Substitutions, map);
    QFETCH(QStringList, letters);

    for (const QString &name : files) {
        QVERIFY(tinyGlyph().save(path(name), "png"));
    }
    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), map);
    QCOMPARE(describe(*font), letters);
}

void tst_FontImport::noValidImage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray("not an image\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("png signature only") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("truncated png") << pngHeader(8, 8).left(40);
    QTest::newRow("bmp magic only") << QByteArray("BM");
}

// Such a file still gives its letter a picture, with a null image, and no warning of ours
// (libpng prints its own "libpng error:" line for a broken PNG).
void tst_FontImport::noValidImage()
{
    QFETCH(QByteArray, content);

    QVERIFY(writeFile(path(QStringLiteral("x_A_4.png")), content));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("x_B_5.bmp")));
    QByteArray errors;
    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions(), &errors);
    QCOMPARE(describe(*font), (QStringList{"A:4", "B:5"}));
    for (const Character *letter : font->getCharacters()) {
        QVERIFY(letter->getPictures().first()->getImage().isNull());
    }
    QVERIFY2(!errors.contains("Warning: "), errors.constData());
}

void tst_FontImport::refusedImages_data()
{
    const QByteArray notAccepted("Warning: glyph image not in PNG, JPEG or BMP format, not loaded: ");
    const QByteArray tooLarge("Warning: glyph image larger than 4096 x 4096 pixels, not loaded: ");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("warning");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("svg") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>")
                         << notAccepted << false;
    QTest::newRow("gif") << QByteArray::fromHex("474946383961010001008000000000"
                                                "00ffffff21f90401000000002c000000000100010000020244013b")
                         << notAccepted << false;
    QTest::newRow("xpm") << QByteArray("/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #000000\", \"a\"};\n")
                         << notAccepted << false;
    QTest::newRow("png 30000 x 30000") << pngHeader(30000, 30000) << tooLarge << false;
    QTest::newRow("png 4097 x 1") << pngHeader(4097, 1) << tooLarge << false;
    QTest::newRow("png 4096 x 4096") << pngHeader(4096, 4096, 4097 * 4096) << QByteArray() << true;
    // Qt refuses this header itself: a file holding no valid image.
    QTest::newRow("bmp 30000 x 30000") << bmpHeader(30000, 30000) << QByteArray() << false;
    // Qt would fill a 1 GB image from these 4 KB.
    QTest::newRow("bmp 16384 x 16384") << bmpHeader(16384, 16384) << tooLarge << false;
    QTest::newRow("bmp 8000 x -8000") << bmpHeader(8000, -8000) << tooLarge << false;
    QTest::newRow("bmp 4 x 4") << bmpHeader(4, 4) << QByteArray() << true;
    QTest::newRow("bmp 4 x -4") << bmpHeader(4, -4) << QByteArray() << true;
    QTest::newRow("jpeg 4097 x 1") << encoded(4097, 1, "jpeg") << tooLarge << false;
    QTest::newRow("jpeg 1 x 4096") << encoded(1, 4096, "jpeg") << QByteArray() << true;
    QTest::newRow("jpeg of 64 scans") << progressiveJpeg(64) << QByteArray() << true;
    QTest::newRow("jpeg of 65 scans") << progressiveJpeg(65)
                                      << QByteArray("Warning: glyph image in more than 64 JPEG scans, not loaded: ") << false;
}

void tst_FontImport::refusedImages()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, warning);
    QFETCH(bool, loaded);
    if (qstrcmp(QTest::currentDataTag(), "svg") == 0 && !QImageReader::supportedImageFormats().contains("svg")) {
        QSKIP("No SVG image plugin: nothing would decode an SVG anyway.");
    }

    const QString file = path(QStringLiteral("x_A_1.png"));
    QVERIFY(writeFile(file, content));
    QByteArray errors;
    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions(), &errors);
    QCOMPARE(describe(*font), QStringList{"A:1"});
    const QImage image = font->getCharacter(QStringLiteral("A"))->getPictures().first()->getImage();
    QCOMPARE(errors, warning.isEmpty() ? QByteArray() : warning + file.toUtf8() + "\n");
    QCOMPARE(!image.isNull(), loaded);
}

void tst_FontImport::damagedImages_data()
{
    QImage gradient(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            gradient.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 0xff));
        }
    }
    const auto encode = [&gradient](const QImage &image, const char *format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    };
    const QByteArray bmp = encode(gradient, "bmp");
    const QByteArray bmp8 = encode(gradient.convertToFormat(QImage::Format_Indexed8), "bmp");
    const QByteArray png = encode(gradient, "png");
    const QByteArray cutShort("Warning: glyph image cut short, not loaded: ");
    const QByteArray damaged("Warning: glyph image damaged, not loaded: ");

    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("warning");
    // Qt would decode these without complaint and leave the missing rows as whatever memory held.
    QTest::newRow("bmp half") << bmp.left(bmp.size() / 2) << cutShort;
    QTest::newRow("bmp one byte short") << bmp.left(bmp.size() - 1) << cutShort;
    QTest::newRow("bmp 8-bit half") << bmp8.left(bmp8.size() / 2) << cutShort;
    // Qt reports the failure but still hands back the half-filled image.
    QTest::newRow("png half") << png.left(png.size() / 2) << damaged;
    QTest::newRow("bmp whole") << bmp << QByteArray();
    QTest::newRow("bmp 8-bit whole") << bmp8 << QByteArray();
    QTest::newRow("png whole") << png << QByteArray();
}

void tst_FontImport::damagedImages()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, warning);
    const QString file = path(QStringLiteral("x_A_1.png"));
    QVERIFY(writeFile(file, content));
    QByteArray errors;
    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions(), &errors);
    const QImage image = font->getCharacter(QStringLiteral("A"))->getPictures().first()->getImage();
    if (warning.isEmpty()) {
        QCOMPARE(errors, QByteArray());
        QCOMPARE(image.size(), QSize(64, 64));
    } else {
        // libpng adds a line of its own before ours.
        QVERIFY2(errors.endsWith(warning + file.toUtf8() + "\n"), errors.constData());
        QVERIFY(image.isNull());
    }
}

// Qt leaves the pixels that runs do not reach as whatever memory held; the import clears them.
void tst_FontImport::runLengthBmpLeavesNoMemory()
{
    const QRgb run = qRgba(200, 200, 200, 255 - 200);
    const QRgb cleared = qRgba(0, 0, 0, 255);
    // The whole file first, so that the memory its image leaves behind holds run pixels.
    for (const int keptRows : {64, 16}) {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("x_A_1.bmp")), rle8Bmp(keptRows)));
        QByteArray errors;
        const std::unique_ptr<Font> font = importDirectory(dir.path(), Substitutions(), &errors);
        QCOMPARE(errors, QByteArray());
        const QImage image = font->getCharacter(QStringLiteral("A"))->getPictures().first()->getImage();
        QCOMPARE(image.size(), QSize(64, 64));
        // Rows are stored bottom up: the kept ones are the last.
        for (int y = 0; y < 64; ++y) {
            const QRgb expected = y >= 64 - keptRows ? run : cleared;
            for (int x = 0; x < 64; ++x) {
                QCOMPARE(image.pixel(x, y), expected);
            }
        }
    }
}

// Listed through symbolic links, a FIFO would block the import and a device never end.
void tst_FontImport::specialFiles()
{
    const QByteArray fifo = QFile::encodeName(path(QStringLiteral("x_F_1.png")));
    QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
    // Keeps a writer on the FIFO without data: a read from it would wait for ever.
    const int writer = open(fifo.constData(), O_RDWR | O_NONBLOCK);
    QVERIFY(writer >= 0);
    QVERIFY(QFile::link(path(QStringLiteral("x_F_1.png")), path(QStringLiteral("x_L_2.png"))));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("x_Z_3.png"))));
    QVERIFY(QFile::link(path(QStringLiteral("none")), path(QStringLiteral("x_D_4.png"))));
    QVERIFY(tinyGlyph().save(path(QStringLiteral("x_A_5.png")), "png"));
    QVERIFY(QFile::link(path(QStringLiteral("x_A_5.png")), path(QStringLiteral("x_S_6.png"))));

    QByteArray errors;
    const std::unique_ptr<Font> font = importDirectory(m_dir->path(), Substitutions(), &errors);
    close(writer);
    // Neither the FIFO itself nor a dangling link is listed; a link to a file is followed.
    QCOMPARE(describe(*font), (QStringList{"A:5", "L:2", "S:6", "Z:3"}));
    QCOMPARE(errors, "Warning: glyph image not a regular file, not loaded: " + path("x_L_2.png").toUtf8() + "\n"
                     + "Warning: glyph image not a regular file, not loaded: " + path("x_Z_3.png").toUtf8() + "\n");
    QVERIFY(font->getCharacter(QStringLiteral("L"))->getPictures().first()->getImage().isNull());
    QCOMPARE(font->getCharacter(QStringLiteral("S"))->getPictures().first()->getImage().size(), QSize(2, 2));
}

void tst_FontImport::missingDirectory()
{
    const QString missing = path(QStringLiteral("no/such glyphs"));
    QByteArray errors;
    const std::unique_ptr<Font> font = importDirectory(missing, Substitutions(), &errors);
    QCOMPARE(font->getName(), QStringLiteral("such glyphs"));
    QVERIFY(font->getCharacters().isEmpty());
    QCOMPARE(debugLines, QStringList{QStringLiteral("importing font ........")});
    QCOMPARE(errors, QByteArray());
}

QTEST_GUILESS_MAIN(tst_FontImport)
#include "tst_fontimport.moc"
