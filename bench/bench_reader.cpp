// Reading speed and peak memory of the OF font file reader, side by side with a straightforward reader
// and with the bare XML token loop over the same bytes: on fonts drawn as the font maker draws them
// (DejaVu Sans at 32 and 128 pt, each glyph its own advance wide), and on glyphs of one fixed size.
#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <malloc.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

using Models::Character;
using Models::CharacterPicture;
using Models::Font;

namespace {

/* width 0: each glyph as wide as its advance and as high as the font, as the font maker draws it. */
struct Size
{
    int points;
    int width;
    int height;
};

const Size sizes[] = {{32, 0, 0}, {128, 0, 0}, {32, 26, 51}, {128, 103, 200}, {512, 410, 796}};

QString characterSet()
{
    QString set;
    for (ushort code = 0x21; code <= 0x7E; ++code) {
        set += QChar(code);
    }
    return set + QString::fromUtf8("\xC2\xA8\xC3\xA9\xC3\xA8\xC3\xA7\xC3\xA0");
}

QString sizeLabel(const Size &size)
{
    return size.width ? QStringLiteral("%1 fix").arg(size.points) : QStringLiteral("%1 pt").arg(size.points);
}

/* Each glyph as the renderer draws it: its advance wide, the font's height high, drawn at the ascent. */
void drawRendered(Font *font, int points)
{
    QFont face(QStringLiteral("DejaVu Sans"));
    face.setPointSize(points);
    const QFontMetrics metrics(face);
    int widthSum = 0;
    int heightSum = 0;
    for (const QChar c : characterSet()) {
        QImage image(metrics.horizontalAdvance(c), metrics.height(), QImage::Format_ARGB32);
        image.fill(qRgba(255, 255, 255, 0));
        QPainter painter(&image);
        painter.setFont(face);
        painter.setPen(QPen(QColor(Qt::black)));
        painter.drawText(0, metrics.ascent(), QString(c));
        painter.end();
        auto *letter = new Character(QString(c));
        letter->addPicture(new CharacterPicture(image, 0, 0.0f));
        font->addCharacter(letter);
        widthSum += image.width();
        heightSum += image.height();
    }
    QImage space(widthSum / 99, heightSum / 99, QImage::Format_ARGB32);
    space.fill(0);
    auto *letter = new Character(QStringLiteral(" "));
    letter->addPicture(new CharacterPicture(space, 0, 0.0f));
    font->addCharacter(letter);
}

/* 99 antialiased glyphs and a blank space, all of one fixed image size. */
void drawFixed(Font *font, const Size &size)
{
    QFont face(QStringLiteral("DejaVu Sans"));
    face.setPixelSize(size.height * 3 / 4);
    for (const QChar c : characterSet()) {
        QImage image(size.width, size.height, QImage::Format_ARGB32);
        image.fill(0x00FFFFFF);
        QPainter painter(&image);
        painter.setFont(face);
        painter.setPen(QPen(QColor(Qt::black)));
        painter.drawText(0, size.height * 4 / 5, QString(c));
        painter.end();
        auto *letter = new Character(QString(c));
        letter->addPicture(new CharacterPicture(image, 0, 0.0f));
        font->addCharacter(letter);
    }
    QImage space(size.width, size.height, QImage::Format_ARGB32);
    space.fill(0);
    auto *letter = new Character(QStringLiteral(" "));
    letter->addPicture(new CharacterPicture(space, 0, 0.0f));
    font->addCharacter(letter);
}

struct Written
{
    QString path;
    double pixels = 0;  // of all images
    double largest = 0; // pixels of the largest image
};

Written writeFont(const Size &size)
{
    const QString path = QDir::temp().filePath(QStringLiteral("bench_reader_%1_%2.of").arg(size.points).arg(size.width));
    Font font(QStringLiteral("DejaVu_Sans__Book__%1.of").arg(size.points));
    if (size.width) {
        drawFixed(&font, size);
    } else {
        drawRendered(&font, size.points);
    }
    if (!IOManager::FontFileManager::fontToFile(&font, path)) {
        std::exit(1);
    }
    Written written{path};
    for (const Character *letter : font.getCharacters()) {
        const QImage image = letter->getPictures().first()->getImage();
        const double pixels = double(image.width()) * image.height();
        written.pixels += pixels;
        written.largest = std::max(written.largest, pixels);
    }
    return written;
}

bool isStart(const QXmlStreamReader &reader, const char *name)
{
    return reader.isStartElement() && reader.name() == QLatin1String(name);
}

bool isEnd(const QXmlStreamReader &reader, const char *name)
{
    return reader.isEndElement() && reader.name() == QLatin1String(name);
}

/* The same walk, written the obvious way: a copy of the text, split(","), toUInt per value. */
CharacterPicture *referencePicture(QXmlStreamReader &reader)
{
    const int id = reader.attributes().value(QLatin1String("id")).toString().toInt(nullptr, 10);
    int width = 0;
    int height = 0;
    int format = 0;
    QString pixelsData;
    while (!isEnd(reader, "imageData") && !reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) {
            continue;
        }
        if (isStart(reader, "width")) {
            reader.readNext();
            width = reader.text().toString().toInt(nullptr, 10);
        }
        if (isStart(reader, "height")) {
            reader.readNext();
            height = reader.text().toString().toInt(nullptr, 10);
        }
        if (isStart(reader, "format")) {
            reader.readNext();
            format = reader.text().toString().toInt(nullptr, 10);
        }
        if (isStart(reader, "data")) {
            reader.readNext();
            pixelsData = reader.text().toString();
        }
    }
    QImage image(width, height, QImage::Format(format));
    const QStringList pixels = pixelsData.split(QLatin1Char(','));
    int i = 0;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint value = pixels.at(i++).toUInt(nullptr, 10);
            if (image.format() == QImage::Format_ARGB32) {
                line[x] = value;
            } else {
                image.setPixel(x, y, value);
            }
        }
    }
    return new CharacterPicture(image, id, 0.0f);
}

Character *referenceLetter(QXmlStreamReader &reader)
{
    auto *letter = new Character();
    while (!isEnd(reader, "letter") && !reader.atEnd()) {
        reader.readNext();
        if (isStart(reader, "anchor")) {
            reader.readNext();
            while (!isEnd(reader, "anchor") && !reader.atEnd()) {
                reader.readNext();
                if (!reader.isStartElement()) {
                    continue;
                }
                if (isStart(reader, "upLine")) {
                    reader.readNext();
                    letter->setUpLine(reader.text().toString().toDouble());
                }
                if (isStart(reader, "baseLine")) {
                    reader.readNext();
                    letter->setBaseLine(reader.text().toString().toDouble());
                }
                if (isStart(reader, "leftLine")) {
                    reader.readNext();
                    letter->setLeftLine(reader.text().toString().toDouble());
                }
                if (isStart(reader, "rightLine")) {
                    reader.readNext();
                    letter->setRightLine(reader.text().toString().toDouble());
                }
            }
        } else if (isStart(reader, "picture")) {
            letter->addPicture(referencePicture(reader));
        }
    }
    return letter;
}

Font *referenceFont(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    auto *font = new Font();
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (isStart(reader, "font")) {
            font->setName(reader.attributes().value(QLatin1String("name")).toString());
            while (!isEnd(reader, "font") && !reader.atEnd()) {
                reader.readNext();
                if (isStart(reader, "letter")) {
                    const QString value = reader.attributes().value(QLatin1String("char")).toString();
                    Character *letter = referenceLetter(reader);
                    letter->setCharacterValue(value);
                    if (letter->pictureCount() > 0) {
                        font->addCharacter(letter);
                    } else {
                        delete letter;
                    }
                }
            }
        }
        reader.readNext();
    }
    return font;
}

/* QXmlStreamReader alone: every token read, every text looked at, nothing built. */
qint64 bareTokenLoop(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    QXmlStreamReader reader(&file);
    qint64 characters = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        characters += reader.text().size();
    }
    return characters;
}

bool sameFont(const Font *a, const Font *b)
{
    if (!a || !b || a->getName() != b->getName() || a->getCharacters().keys() != b->getCharacters().keys()) {
        return false;
    }
    for (const Character *left : a->getCharacters()) {
        const Character *right = b->getCharacter(left->getCharacterValue());
        if (left->pictureCount() != right->pictureCount() || left->getUpLine() != right->getUpLine()
            || left->getBaseLine() != right->getBaseLine() || left->getLeftLine() != right->getLeftLine()
            || left->getRightLine() != right->getRightLine()) {
            return false;
        }
        for (int i = 0; i < left->pictureCount(); ++i) {
            const QImage x = left->getPictures().at(i)->getImage();
            const QImage y = right->getPictures().at(i)->getImage();
            if (left->getPictures().at(i)->getId() != right->getPictures().at(i)->getId() || x.size() != y.size()
                || x.format() != y.format() || x.sizeInBytes() != y.sizeInBytes()
                || std::memcmp(x.constBits(), y.constBits(), std::size_t(x.sizeInBytes())) != 0) {
                return false;
            }
        }
    }
    return true;
}

/*
 * With cold set, the heap first gives its free pages back to the kernel, so that the work pays for
 * touching fresh memory as a program that reads one font does.
 */
double seconds(const std::function<void()> &work, bool cold = false)
{
    if (cold) {
        malloc_trim(0);
    }
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

long statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(std::strlen(field))).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

void readOnce(const QString &mode, const QString &path)
{
    if (mode == QLatin1String("reader")) {
        delete IOManager::FontFileManager::fontFromFile(path);
    } else if (mode == QLatin1String("reference")) {
        delete referenceFont(path);
    } else {
        bareTokenLoop(path);
    }
}

/*
 * Run in a fresh process: reads a tiny file first so that the code it needs is paged in,
 * resets the peak resident size, then reads the real file and prints the growth of the peak in kB.
 */
int measureMemory(const QString &mode, const QString &warmUp, const QString &path)
{
    readOnce(mode, warmUp);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1) {
        return 1;
    }
    clear.close();
    const long before = statusKilobytes("VmRSS:");
    readOnce(mode, path);
    std::printf("%ld\n", statusKilobytes("VmHWM:") - before);
    return 0;
}

long childPeak(const QString &mode, const QString &warmUp, const QString &path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), mode, warmUp, path});
    child.waitForFinished(-1);
    bool ok = false;
    const long kilobytes = child.readAllStandardOutput().trimmed().toLong(&ok);
    return ok ? kilobytes : -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--memory") == 0) {
        return measureMemory(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                             QString::fromLocal8Bit(argv[4]));
    }
    // Point sizes as the font maker's files have them at 96 dpi, whatever the screen.
    qputenv("QT_FONT_DPI", "96");
    QGuiApplication app(argc, argv);
    const QString warmUp = writeFont({1, 2, 3}).path;

    std::printf("%-8s %9s | %9s %9s %9s | %8s %8s | %9s | %s\n", "size", "file MB", "bare MB/s", "ours MB/s",
                "ref MB/s", "ours/ref", "ours/bare", "cold o/b", "same images");
    struct Memory
    {
        QString label;
        long bare, reader, reference;
        double images, largest;
    };
    std::vector<Memory> memory;
    for (const Size &size : sizes) {
        const Written written = writeFont(size);
        const QString path = written.path;
        const double megabytes = double(QFileInfo(path).size()) / 1e6;
        const int rounds = size.points == 512 ? 3 : 9;
        double bare = 1e9, ours = 1e9, reference = 1e9, coldBare = 1e9, coldOurs = 1e9;
        bool same = true;
        for (int round = 0; round < rounds; ++round) {
            coldBare = std::min(coldBare, seconds([&] { bareTokenLoop(path); }, true));
            std::unique_ptr<Font> kept;
            coldOurs = std::min(coldOurs, seconds([&] { kept.reset(IOManager::FontFileManager::fontFromFile(path)); }, true));
            kept.reset();
            bare = std::min(bare, seconds([&] { bareTokenLoop(path); }));
            std::unique_ptr<Font> fast;
            ours = std::min(ours, seconds([&] { fast.reset(IOManager::FontFileManager::fontFromFile(path)); }));
            std::unique_ptr<Font> slow;
            reference = std::min(reference, seconds([&] { slow.reset(referenceFont(path)); }));
            same = same && fast && fast->getCharacters().size() == 100 && sameFont(fast.get(), slow.get());
        }
        std::printf("%-8s %9.1f | %9.1f %9.1f %9.1f | %7.2fx %7.2fx | %8.2fx | %s\n", qPrintable(sizeLabel(size)),
                    megabytes, megabytes / bare, megabytes / ours, megabytes / reference, reference / ours, ours / bare,
                    coldOurs / coldBare, same ? "yes" : "NO");
        std::fflush(stdout);

        memory.push_back({sizeLabel(size), childPeak(QStringLiteral("bare"), warmUp, path),
                          childPeak(QStringLiteral("reader"), warmUp, path),
                          childPeak(QStringLiteral("reference"), warmUp, path), written.pixels * 4 / 1024,
                          written.largest * 4 / 1024});
        QFile::remove(path);
    }

    QFile::remove(warmUp);

    std::printf("\ngrowth of the peak resident size while reading (MB; each in a fresh process, code paged in)\n");
    std::printf("%-8s %9s %9s %9s %9s | %12s %12s\n", "size", "images", "bare", "ours", "ref", "ours-bare",
                "allowance");
    for (const Memory &m : memory) {
        const double mb = 1024.0;
        std::printf("%-8s %9.1f %9.1f %9.1f %9.1f | %12.1f %12.1f\n", qPrintable(m.label), m.images / mb, m.bare / mb,
                    m.reader / mb, m.reference / mb, (m.reader - m.bare) / mb, (m.images + m.largest) / mb);
    }
    std::printf("bare = QXmlStreamReader alone, which holds each text token whole (the Qt floor);\n"
                "cold o/b = ours/bare with the heap's free pages given back before each read, so that the\n"
                "images are written to memory the kernel has yet to hand out;\n"
                "allowance = images + 4 bytes per pixel of the largest picture\n");
    return 0;
}
