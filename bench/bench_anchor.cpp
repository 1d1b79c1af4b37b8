// Times the in-place anchor update on a font file of application size, side by side with
// the bare DOM round trip it is built on, to show what refusing unsafe files costs.
#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using IOManager::FontFileManager;

namespace {

// The update without any checks and without atomic replacement.
int bareUpdate(const QString &path, double baseLine, double rightLine, const QString &letter)
{
    QDomDocument fontDocument(QStringLiteral("fontDocument"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !fontDocument.setContent(&file)) {
        return -1;
    }
    file.close();
    const QDomNodeList letters = fontDocument.elementsByTagName(QStringLiteral("letter"));
    for (int i = 0; i < letters.size(); ++i) {
        const QDomElement element = letters.at(i).toElement();
        if (element.attribute(QStringLiteral("char")) == letter) {
            const QDomElement anchor = element.firstChildElement(QStringLiteral("anchor"));
            anchor.elementsByTagName(QStringLiteral("baseLine")).item(0).firstChild().setNodeValue(
                QString::number(baseLine, 'd', 0));
            anchor.elementsByTagName(QStringLiteral("rightLine")).item(0).firstChild().setNodeValue(
                QString::number(rightLine, 'd', 0));
        }
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return -1;
    }
    file.write(fontDocument.toByteArray(1));
    return 0;
}

// About what the application writes at 48 points: 100 letters, mostly transparent glyphs.
Models::Font *sampleFont()
{
    auto *font = new Models::Font(QStringLiteral("Bench"));
    QRandomGenerator random(3);
    for (ushort code = 0x20; code < 0x84; ++code) {
        QImage image(40, 56, QImage::Format_ARGB32);
        image.fill(0);
        for (int y = 10; y < 50; ++y) {
            for (int x = 5; x < 35; ++x) {
                if (random.bounded(3) == 0) {
                    image.setPixel(x, y, qRgba(0, 0, 0, int(random.bounded(256))));
                }
            }
        }
        auto *letter = new Models::Character(QString(QChar(code)));
        letter->addPicture(new Models::CharacterPicture(image, 0, 0.0f));
        font->addCharacter(letter);
    }
    return font;
}

template <typename Update>
double medianSeconds(const QString &path, const QByteArray &original, Update update)
{
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(original);
        file.close();
        QElapsedTimer timer;
        timer.start();
        if (update(path) != 0) {
            std::printf("update failed\n");
        }
        times.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.of"));
    Models::Font *font = sampleFont();
    FontFileManager::fontToFile(font, path);
    delete font;
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray original = file.readAll();
    file.close();
    const double megabytes = original.size() / 1e6;

    const auto bare = [](const QString &p) { return bareUpdate(p, 12.7, 80.2, QStringLiteral("M")); };
    const auto checked = [](const QString &p) {
        return FontFileManager::changeLetterAnchor(p, 12.7, 80.2, QStringLiteral("M"));
    };
    medianSeconds(path, original, bare); // warm-up
    const double bareTime = medianSeconds(path, original, bare);
    const double checkedTime = medianSeconds(path, original, checked);

    std::printf("font file: %.2f MB, 100 letters\n", megabytes);
    std::printf("bare DOM round trip:       %8.1f ms  %6.1f MB/s\n", bareTime * 1e3, megabytes / bareTime);
    std::printf("changeLetterAnchor:        %8.1f ms  %6.1f MB/s\n", checkedTime * 1e3, megabytes / checkedTime);
    std::printf("ratio checked / bare:      %8.2f\n", checkedTime / bareTime);
    return 0;
}
