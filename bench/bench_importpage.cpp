// Import of the shared scanned page (1,120 glyph outlines, a JPEG-compressed TIFF) and of that page 20
// times into one font: reading the PAGE-XML, decoding the image, cutting the glyphs, the font with its
// canvases, and the OF file written to memory. BENCH_SMOKE=1 does one page once. Skips without ../shared
// (or $QMF_SHARED_DIR).

#include "pagereader.h"
#include "scanfont.h"
#include "scanimage.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

long peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

struct Result {
    double ms = 0;
    int pictures = 0;
    qint64 bytes = 0;
};

// pages times the page into one font; false when something could not be read.
bool importRepeated(const QString &path, int pages, Result *result)
{
    QElapsedTimer timer;
    timer.start();
    Scans::ScanFont scanned{Scans::ScanSettings()};
    for (int i = 0; i < pages; ++i) {
        Scans::ScanPage page;
        QString error;
        if (!Scans::readPageFile(path, &page, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
            return false;
        }
        const QImage grey = Scans::loadScanImage(page.imagePath, 0, &error);
        if (grey.isNull()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(page.imagePath), qPrintable(error));
            return false;
        }
        scanned.addPage(page, grey);
    }
    const std::unique_ptr<Models::Font> font(scanned.font(QStringLiteral("bench")));
    scanned.metrics();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    IOManager::FontFileManager::fontToDevice(font.get(), &buffer);
    result->ms = timer.nsecsElapsed() / 1e6;
    result->pictures = scanned.pictureCount();
    result->bytes = buffer.size();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString shared = qEnvironmentVariableIsSet("QMF_SHARED_DIR") ? qEnvironmentVariable("QMF_SHARED_DIR")
                                                                       : QStringLiteral(QMF_SOURCE_DIR "/../shared");
    const QString path = shared + QStringLiteral("/scans/kant_1784_p0020.xml");
    if (!QFileInfo::exists(path)) {
        std::printf("skipped: %s is absent\n", qPrintable(path));
        return 0;
    }
    const bool smoke = qEnvironmentVariableIsSet("BENCH_SMOKE");
    for (const int pages : smoke ? QVector<int>{1} : QVector<int>{1, 1, 20}) {
        Result result;
        if (!importRepeated(path, pages, &result)) {
            return 1;
        }
        if (result.pictures != 1120 * pages) {
            std::fprintf(stderr, "%d pictures from %d pages, not %d\n", result.pictures, pages, 1120 * pages);
            return 1;
        }
        std::printf("  %2d page%s %6d glyphs %9.1f ms %7.2f ms per 100 glyphs  OF file %6.1f MB  peak RSS %ld MB\n", pages,
                    pages == 1 ? " " : "s", result.pictures, result.ms, result.ms / result.pictures * 100, result.bytes / 1e6, peakRssMb());
    }
    return 0;
}
