// produceFontFile for DejaVu Sans: rendering and writing side by side, and a whole process for 128 pt.
#include "benchsupport.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

QFont dejaVuSans(int size)
{
    return InstalledFonts::font(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), size);
}

QString fontName(int size)
{
    return QStringLiteral("DejaVu_Sans__Book__%1.of").arg(size);
}

/* What one "run" does in a fresh process: the application object, the font, render and write. */
int produceOnce(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int size = QByteArray(argv[2]).toInt();
    return produceFontFile(dejaVuSans(size), fontName(size), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}

/* Best wall time of a child process of this program, from start to exit, in seconds. */
double bestProcessSeconds(int runs, const QStringList &arguments)
{
    return bench::bestSeconds(runs, [&] {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::fprintf(stderr, "child %s failed\n", qPrintable(arguments.join(' ')));
        }
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc == 4 && std::strcmp(argv[1], "--produce") == 0) {
        return produceOnce(argc, argv);
    }
    if (argc == 2 && std::strcmp(argv[1], "--start") == 0) {
        QGuiApplication app(argc, argv);
        return dejaVuSans(12).family().isEmpty() ? 1 : 0;
    }

    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.of"));

    std::printf("%-6s %9s %10s %10s %10s %10s %8s %8s\n", "size", "file MB", "render ms", "write ms", "sum ms",
                "total ms", "render%", "write%");
    for (const int size : {32, 128, 512}) {
        const QFont font = dejaVuSans(size);
        const int runs = size >= 512 ? 3 : 10;

        // The same drawing into a model that is then dropped, so rendering is timed without writing.
        const double renderSeconds = bench::bestSeconds(runs, [&] {
            Models::Font docFont(fontName(size));
            renderGlyphs(font, &docFont);
        });
        Models::Font rendered(fontName(size));
        renderGlyphs(font, &rendered);
        const double writeSeconds =
            bench::bestSeconds(runs, [&] { IOManager::FontFileManager::fontToFile(&rendered, path); });
        const double totalSeconds = bench::bestSeconds(runs, [&] { produceFontFile(font, fontName(size), path); });

        const double megabytes = QFileInfo(path).size() / 1e6;
        const double sum = renderSeconds + writeSeconds;
        std::printf("%-6d %9.2f %10.1f %10.1f %10.1f %10.1f %7.0f%% %7.0f%%\n", size, megabytes,
                    renderSeconds * 1e3, writeSeconds * 1e3, sum * 1e3, totalSeconds * 1e3,
                    100 * renderSeconds / sum, 100 * writeSeconds / sum);
    }

    const double startSeconds = bestProcessSeconds(5, {QStringLiteral("--start")});
    const double processSeconds =
        bestProcessSeconds(5, {QStringLiteral("--produce"), QStringLiteral("128"), path});
    std::printf("whole process, 128 pt: %.1f ms (start and exit alone: %.1f ms, %.0f%% of it)\n",
                processSeconds * 1e3, startSeconds * 1e3, 100 * startSeconds / processSeconds);
    std::printf("render = drawing into a model without writing; write = fontToFile of that model;\n"
                "total = produceFontFile; best of several runs each. Whole process = this program started\n"
                "with --produce 128 (application object, font lookup, render, write, exit), best of 5.\n");
    return 0;
}
