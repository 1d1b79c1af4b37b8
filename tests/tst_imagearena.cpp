#include "iomanager/imagearena_p.h"

#include <QtTest>

#include <thread>
#include <vector>

using IOManager::Private::ImageArena;

namespace {

enum Fate { Modified, CopyModified };

QImage filled(QRgb value)
{
    QImage image(40, 50, QImage::Format_ARGB32);
    image.fill(value);
    return image;
}

// Enough images for more than one block, from an arena gone when they are returned.
std::vector<QImage> arenaImages(QRgb first)
{
    ImageArena arena;
    std::vector<QImage> images;
    for (int i = 0; i < 300; ++i) {
        images.push_back(arena.image(40, 50));
        images.back().fill(first + QRgb(i));
    }
    return images;
}

/* Whether each image keeps its pixels through fate, and an unshared one is written in place. */
bool survives(std::vector<QImage> images, Fate fate, QRgb first)
{
    bool kept = true;
    for (int i = 0; i < int(images.size()); ++i) {
        QImage &image = images[std::size_t(i)];
        const uchar *bits = image.constBits();
        if (fate == Modified) {
            image.setPixel(0, 0, 0);
            kept &= image.constBits() == bits && image.pixel(0, 0) == 0;
            image.setPixel(0, 0, first + QRgb(i));
        } else if (fate == CopyModified) {
            QImage copy = image;
            copy.fill(0u);
            kept &= copy == filled(0) && image.constBits() == bits;
        }
        kept &= image == filled(first + QRgb(i));
    }
    return kept;
}

template<typename Work>
void onThreads(int count, Work work)
{
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(work, i);
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
}

} // namespace

class tst_ImageArena : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void afterTheArena_data();
    void afterTheArena();
};

void tst_ImageArena::initTestCase()
{
    QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!setting.open(QIODevice::ReadOnly) || setting.readAll().contains("[never]")) {
        QSKIP("no transparent huge pages here: the arena allocates as usual");
    }
}

void tst_ImageArena::afterTheArena_data()
{
    QTest::addColumn<int>("fate");
    QTest::addColumn<int>("threads");
    QTest::newRow("modified in place") << int(Modified) << 1;
    QTest::newRow("copied, the copy modified") << int(CopyModified) << 1;
    QTest::newRow("made and modified on four threads") << int(Modified) << 4;
}

void tst_ImageArena::afterTheArena()
{
    QFETCH(int, fate);
    QFETCH(int, threads);
    std::vector<std::vector<QImage>> sets(threads);
    onThreads(threads, [&sets](int i) { sets[std::size_t(i)] = arenaImages(QRgb(i) << 24); });
    QVERIFY(ImageArena::mappedBlocks() > 0);

    // Each thread takes the images of another, and drops them when done.
    std::vector<char> kept(std::size_t(threads), 0);
    onThreads(threads, [&](int i) {
        const int made = (i + 1) % threads;
        kept[std::size_t(i)] = survives(std::move(sets[std::size_t(made)]), Fate(fate), QRgb(made) << 24);
    });
    QCOMPARE(kept, std::vector<char>(std::size_t(threads), 1));
    QCOMPARE(ImageArena::mappedBlocks(), 0);
}

QTEST_GUILESS_MAIN(tst_ImageArena)
#include "tst_imagearena.moc"
