#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include "referencewriter.h"
#include "filesizelimit.h"
#include "testfiles.h"
#include "stderrcapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using IOManager::FontFileManager;
using Models::Character;
using Models::CharacterPicture;
using Models::Font;

namespace {

QByteArray declaration()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

// The lines of one letter without pictures, as the writer lays them out.
QByteArray bareLetter(const QByteArray &charText, const QByteArray &up = "0", const QByteArray &base = "100",
                      const QByteArray &left = "0", const QByteArray &right = "100")
{
    return "  <letter char=\"" + charText + "\">\n"
           "    <anchor>\n"
           "      <upLine>" + up + "</upLine>\n"
           "      <baseLine>" + base + "</baseLine>\n"
           "      <leftLine>" + left + "</leftLine>\n"
           "      <rightLine>" + right + "</rightLine>\n"
           "    </anchor>\n"
           "  </letter>\n";
}

// Random pixels; with runs, long stretches of a few values, as glyph images have.
QImage noisyImage(int width, int height, QImage::Format format, quint32 seed, bool runs = false)
{
    static const QRgb palette[] = {0x00000000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF, 0x80402010};
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(seed);
    QRgb value = 0;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (!runs) {
                value = random.generate();
            } else if (random.bounded(8) == 0) {
                value = palette[random.bounded(5)];
            }
            line[x] = value;
        }
    }
    return image.convertToFormat(format);
}

// A 5 x 3 picture in format whose scan lines hold the same pseudo-random bytes under any Qt.
Character *rawBytesLetter(int format)
{
    QImage image(5, 3, QImage::Format(format));
    if (format <= QImage::Format_Indexed8) {
        QVector<QRgb> colours;
        for (int i = 0; i < 256; ++i) {
            colours.append(qRgba(i, 255 - i, i * 7 % 256, i * 13 % 256));
        }
        image.setColorTable(format == QImage::Format_Indexed8 ? colours : colours.mid(0, 2));
    }
    quint32 state = 12345u + quint32(format);
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int i = 0; i < image.bytesPerLine(); ++i) {
            state = state * 1103515245u + 12345u;
            line[i] = uchar(state >> 16);
        }
    }
    auto *letter = new Character(QStringLiteral("f%1").arg(format, 2, 10, QLatin1Char('0')));
    letter->addPicture(new CharacterPicture(image, format, 0.5f));
    return letter;
}

} // namespace

class tst_FontWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sampleFile();
    void emptyFont();
    void nullImageAndBareLetter();
    void escaping_data();
    void escaping();
    void realNumbers_data();
    void realNumbers();
    void letterOrder();
    void pixelsMatchReference_data();
    void pixelsMatchReference();
    void replacesWholeFile();
    void missingDirectory();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void textXmlCannotHold_data();
    void textXmlCannotHold();
    void sameBytesUnderQt5AndQt6();
    void pixelListReadsBack_data();
    void pixelListReadsBack();

private:
    QByteArray writeToBytes(const Font &font);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_FontWriter::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

QByteArray tst_FontWriter::writeToBytes(const Font &font)
{
    const QString path = m_dir->filePath(QStringLiteral("out.of"));
    if (!FontFileManager::fontToFile(&font, path)) {
        return QByteArray("<write failed>");
    }
    return readAll(path);
}

void tst_FontWriter::sampleFile()
{
    Font font(QStringLiteral("Sample"));
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0xFF000000);
    image.setPixel(1, 0, 0x00FFFFFF);
    auto *letter = new Character(QStringLiteral("A"), 0, 100, 0, 100);
    letter->addPicture(new CharacterPicture(image, 0, 0.0f));
    font.addCharacter(letter);

    const QByteArray expected = declaration()
        + "<font name=\"Sample\">\n"
          "  <letter char=\"A\">\n"
          "    <anchor>\n"
          "      <upLine>0</upLine>\n"
          "      <baseLine>100</baseLine>\n"
          "      <leftLine>0</leftLine>\n"
          "      <rightLine>100</rightLine>\n"
          "    </anchor>\n"
          "    <picture id=\"0\">\n"
          "      <imageData>\n"
          "        <width>2</width>\n"
          "        <height>1</height>\n"
          "        <format>5</format>\n"
          "        <degradationlevel>0</degradationlevel>\n"
          "        <data>4278190080,16777215</data>\n"
          "      </imageData>\n"
          "    </picture>\n"
          "  </letter>\n"
          "</font>\n";
    QCOMPARE(writeToBytes(font), expected);
}

void tst_FontWriter::emptyFont()
{
    const Font font(QStringLiteral("Sample"));
    QCOMPARE(writeToBytes(font), declaration() + "<font name=\"Sample\"/>\n");
}

void tst_FontWriter::nullImageAndBareLetter()
{
    Font font(QStringLiteral("N"));
    auto *letter = new Character(QStringLiteral("z"));
    letter->addPicture(new CharacterPicture(QImage(0, 5, QImage::Format_ARGB32), -3, 2.5f));
    font.addCharacter(letter);
    font.addCharacter(new Character(QStringLiteral("y")));

    const QByteArray expected = declaration()
        + "<font name=\"N\">\n"
        + bareLetter("y")
        + "  <letter char=\"z\">\n"
          "    <anchor>\n"
          "      <upLine>0</upLine>\n"
          "      <baseLine>100</baseLine>\n"
          "      <leftLine>0</leftLine>\n"
          "      <rightLine>100</rightLine>\n"
          "    </anchor>\n"
          "    <picture id=\"-3\">\n"
          "      <imageData>\n"
          "        <width>0</width>\n"
          "        <height>0</height>\n"
          "        <format>0</format>\n"
          "        <degradationlevel>2.5</degradationlevel>\n"
          "        <data></data>\n"
          "      </imageData>\n"
          "    </picture>\n"
          "  </letter>\n"
          "</font>\n";
    QCOMPARE(writeToBytes(font), expected);
}

void tst_FontWriter::escaping_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("attribute");
    QTest::newRow("double quote") << QStringLiteral("\"") << QByteArray("&quot;");
    QTest::newRow("ampersand") << QStringLiteral("&") << QByteArray("&amp;");
    QTest::newRow("less than") << QStringLiteral("<") << QByteArray("&lt;");
    QTest::newRow("greater than") << QStringLiteral(">") << QByteArray("&gt;");
    QTest::newRow("apostrophe") << QStringLiteral("'") << QByteArray("'");
    QTest::newRow("tab") << QStringLiteral("\t") << QByteArray("&#9;");
    QTest::newRow("line feed") << QStringLiteral("\n") << QByteArray("&#10;");
    QTest::newRow("carriage return") << QStringLiteral("\r") << QByteArray("&#13;");
    QTest::newRow("space") << QStringLiteral(" ") << QByteArray(" ");
    QTest::newRow("e acute") << QString(QChar(0xE9)) << QByteArray("\xC3\xA9");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("several") << QStringLiteral("a&b\"c") << QByteArray("a&amp;b&quot;c");
}

void tst_FontWriter::escaping()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, attribute);
    Font font(value);
    font.addCharacter(new Character(value));
    QCOMPARE(writeToBytes(font), declaration() + "<font name=\"" + attribute + "\">\n" + bareLetter(attribute) + "</font>\n");
}

void tst_FontWriter::realNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("hundred") << 100.0 << QByteArray("100");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("quarter") << 12.25 << QByteArray("12.25");
    QTest::newRow("large") << 1234567.0 << QByteArray("1.23457e+06");
    QTest::newRow("small") << 0.00001 << QByteArray("1e-05");
    QTest::newRow("six digits") << 12.3456789 << QByteArray("12.3457");
    QTest::newRow("negative") << -3.5 << QByteArray("-3.5");
    QTest::newRow("negative large") << -1e10 << QByteArray("-1e+10");
    QTest::newRow("just below exponent") << 999999.0 << QByteArray("999999");
    QTest::newRow("smallest plain") << 0.0001 << QByteArray("0.0001");
}

void tst_FontWriter::realNumbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    Font font(QStringLiteral("n"));
    font.addCharacter(new Character(QStringLiteral("a"), value, value, value, value));
    QCOMPARE(writeToBytes(font), declaration() + "<font name=\"n\">\n" + bareLetter("a", text, text, text, text) + "</font>\n");

    Font picture(QStringLiteral("n"));
    auto *letter = new Character(QStringLiteral("a"));
    letter->addPicture(new CharacterPicture(QImage(), 0, float(value)));
    picture.addCharacter(letter);
    const QByteArray expectedLevel = "<degradationlevel>" + QString::number(double(float(value)), 'g', 6).toLatin1()
        + "</degradationlevel>";
    QVERIFY(writeToBytes(picture).contains(expectedLevel));
}

void tst_FontWriter::letterOrder()
{
    Font font(QStringLiteral("order"));
    QString rendered;
    for (ushort code = 0x21; code <= 0x7E; ++code) {
        rendered.append(QChar(code));
    }
    rendered += QString::fromUtf8("\xC2\xA8\xC3\xA9\xC3\xA8\xC3\xA7\xC3\xA0 ");
    for (const QChar c : rendered) {
        font.addCharacter(new Character(QString(c)));
    }

    QByteArray expected = declaration() + "<font name=\"order\">\n" + bareLetter(" ");
    for (ushort code = 0x21; code <= 0x7E; ++code) {
        QString escaped = QString(QChar(code)).toHtmlEscaped();
        if (code == '\'') {
            escaped = QStringLiteral("'");
        }
        expected += bareLetter(escaped.toUtf8());
    }
    for (const ushort code : {0xA8, 0xE0, 0xE7, 0xE8, 0xE9}) {
        expected += bareLetter(QString(QChar(code)).toUtf8());
    }
    expected += "</font>\n";
    QCOMPARE(writeToBytes(font), expected);
}

void tst_FontWriter::pixelsMatchReference_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("runs");
    QTest::newRow("argb32 runs") << 103 << 200 << QImage::Format_ARGB32 << true;
    QTest::newRow("rgb16 runs") << 40 << 30 << QImage::Format_RGB16 << true;
    QTest::newRow("argb32 1x1") << 1 << 1 << QImage::Format_ARGB32 << false;
    QTest::newRow("argb32 wide") << 7000 << 3 << QImage::Format_ARGB32 << false;
    QTest::newRow("argb32 tall") << 3 << 7000 << QImage::Format_ARGB32 << false;
    QTest::newRow("argb32 glyph") << 103 << 200 << QImage::Format_ARGB32 << false;
    QTest::newRow("premultiplied") << 40 << 30 << QImage::Format_ARGB32_Premultiplied << false;
    QTest::newRow("rgb32") << 40 << 30 << QImage::Format_RGB32 << false;
    QTest::newRow("rgb888") << 41 << 30 << QImage::Format_RGB888 << false;
    QTest::newRow("rgb16") << 41 << 30 << QImage::Format_RGB16 << false;
    QTest::newRow("grayscale8") << 41 << 30 << QImage::Format_Grayscale8 << false;
    QTest::newRow("indexed8") << 41 << 30 << QImage::Format_Indexed8 << false;
    QTest::newRow("mono") << 41 << 30 << QImage::Format_Mono << false;
    QTest::newRow("rgba8888") << 41 << 30 << QImage::Format_RGBA8888 << false;
    QTest::newRow("rgba64") << 41 << 30 << QImage::Format_RGBA64 << false;
    QTest::newRow("a2rgb30 premultiplied") << 41 << 30 << QImage::Format_A2RGB30_Premultiplied << false;
    QTest::newRow("zero height") << 5 << 0 << QImage::Format_ARGB32 << false;
}

void tst_FontWriter::pixelsMatchReference()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QImage::Format, format);
    QFETCH(bool, runs);
    Font font(QStringLiteral("pixels"));
    auto *letter = new Character(QStringLiteral("p"));
    letter->addPicture(new CharacterPicture(noisyImage(width, height, format, 7, runs), 1, 0.0f));
    letter->addPicture(new CharacterPicture(noisyImage(width, height, format, 8, runs), 2, 0.25f));
    font.addCharacter(letter);
    font.addCharacter(new Character(QStringLiteral("q")));

    // The writer skips per-pixel strings; its bytes must still be the obvious writer's.
    QCOMPARE(writeToBytes(font), referenceFontBytes(font));
}

void tst_FontWriter::replacesWholeFile()
{
    const QString path = m_dir->filePath(QStringLiteral("replace.of"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    const Font font(QStringLiteral("Sample"));
    QVERIFY(FontFileManager::fontToFile(&font, path));
    QCOMPARE(readAll(path), declaration() + "<font name=\"Sample\"/>\n");
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("replace.of")});
}

void tst_FontWriter::missingDirectory()
{
    const QString path = m_dir->filePath(QStringLiteral("no/such/dir/out.of"));
    const Font font(QStringLiteral("Sample"));
    StderrCapture capture;
    const bool written = FontFileManager::fontToFile(&font, path);
    QCOMPARE(capture.text(), "Warning: unable to open output font file: " + path.toUtf8() + "\n");
    QVERIFY(!written);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("no"))));
}

void tst_FontWriter::failedWriteKeepsOldFile_data()
{
    // Below the whole size by less than one buffer, only the flush inside commit() fails.
    QTest::addColumn<qint64>("shortBy");
    QTest::newRow("4 KB fit") << qint64(-1);
    QTest::newRow("half fits") << qint64(-2);
    QTest::newRow("one byte short") << qint64(1);
}

void tst_FontWriter::failedWriteKeepsOldFile()
{
    QFETCH(qint64, shortBy);
    const QString path = m_dir->filePath(QStringLiteral("keep.of"));
    Font font(QStringLiteral("big"));
    auto *letter = new Character(QStringLiteral("a"));
    letter->addPicture(new CharacterPicture(noisyImage(300, 300, QImage::Format_ARGB32, 1), 0, 0.0f));
    font.addCharacter(letter);
    QVERIFY(FontFileManager::fontToFile(&font, path));
    const qint64 size = QFileInfo(path).size();
    const QByteArray old = "old content that must survive\n";
    QVERIFY(writeAll(path, old));

    const qint64 limit = shortBy == -1 ? 4096 : shortBy == -2 ? size / 2 : size - shortBy;
    StderrCapture capture;
    bool written = true;
    {
        const FileSizeLimit fileSizeLimit{rlim_t(limit)};
        QVERIFY(fileSizeLimit.isActive());
        written = FontFileManager::fontToFile(&font, path);
    }
    const QByteArray message = capture.text();

    QVERIFY(!written);
    QCOMPARE(message, "Warning: unable to write output font file: " + path.toUtf8() + "\n");
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.of")});
}

void tst_FontWriter::textXmlCannotHold_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("control in char") << QStringLiteral("f") << QStringLiteral("\x01");
    QTest::newRow("U+0000 in char") << QStringLiteral("f") << QString(QChar(0));
    QTest::newRow("lone surrogate in char") << QStringLiteral("f") << QString(QChar(0xD800));
    QTest::newRow("noncharacter in char") << QStringLiteral("f") << QString(QChar(0xFFFE));
    QTest::newRow("control in name") << QStringLiteral("f\x1B") << QStringLiteral("a");
    QTest::newRow("lone surrogate ending the name") << QStringLiteral("f") + QChar(0xD800) << QStringLiteral("a");
}

void tst_FontWriter::textXmlCannotHold()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    const QString path = m_dir->filePath(QStringLiteral("bad.of"));
    Font font(name);
    font.addCharacter(new Character(value));

    // Such a file would not be XML: refused as a failed write, nothing left behind.
    StderrCapture capture;
    const bool written = FontFileManager::fontToFile(&font, path);
    QCOMPARE(capture.text(), "Warning: unable to write output font file: " + path.toUtf8() + "\n");
    QVERIFY(!written);
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void tst_FontWriter::sameBytesUnderQt5AndQt6()
{
    // Every format both know, from the same bytes; the file was written under Qt 5.
    Font font(QStringLiteral("formats"));
    for (int format = QImage::Format_Mono; format <= QImage::Format_BGR888; ++format) {
        font.addCharacter(rawBytesLetter(format));
    }
    QCOMPARE(writeToBytes(font), readAll(QStringLiteral(QMF_TEST_DATA "/formats.of")));
}

void tst_FontWriter::pixelListReadsBack_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("written");
    // Every value "4294967295,": the longest list of that many pixels, against the reader's 2^28 bytes of text.
    QTest::newRow("the longest list the reader takes") << 24403217 << true;
    QTest::newRow("one pixel more") << 24403218 << false;
}

// The writer refuses a picture the reader would cut short rather than write a file nobody can read.
void tst_FontWriter::pixelListReadsBack()
{
    QFETCH(int, width);
    QFETCH(bool, written);
    QImage image(width, 1, QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    image.fill(0xFFFFFFFF);
    Font font(QStringLiteral("long"));
    auto *letter = new Character(QStringLiteral("A"));
    letter->addPicture(new CharacterPicture(image, 0, 0.0f));
    font.addCharacter(letter);
    QFile sink(QStringLiteral("/dev/null"));
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QCOMPARE(FontFileManager::fontToDevice(&font, &sink), written);
}

QTEST_GUILESS_MAIN(tst_FontWriter)
#include "tst_fontwriter.moc"
