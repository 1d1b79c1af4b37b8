// produceFontFile for DejaVu Sans: rendering and writing side by side, and a whole process for 128 pt; then
// fitting to the ink with metrics against the default drawing, how many glyphs each clips, what finding the
// clipped ones costs, and what the kerning in the metrics costs.
#include "benchsupport.h"
#include "pairkerning.h"

#include "glyphmetrics.h"
#include "glyphrenderer.h"
#include "installedfonts.h"
#include "producefontfile.h"
#include "rendersettings.h"

#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

QFont dejaVuSans(int size)
{
    return InstalledFonts::font(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), size);
}

QString fontName(int size)
{
    return QStringLiteral("DejaVu_Sans__Book__%1.of").arg(size);
}

RenderSettings inkFit(bool metrics)
{
    RenderSettings settings;
    settings.fit = RenderSettings::Fit::Ink;
    settings.metrics = metrics;
    return settings;
}

/*
 * What one "run" does in a fresh process: the application object, the font, render and write; with a fourth
 * argument "ink", fitted to the ink with metrics.
 */
int produceOnce(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int size = QByteArray(argv[2]).toInt();
    const QString path = QString::fromLocal8Bit(argv[3]);
    if (argc == 5) {
        FontGeometry geometry;
        return produceFontFile(dejaVuSans(size), fontName(size), path, defaultLetters(), inkFit(true), &geometry) ? 0 : 1;
    }
    return produceFontFile(dejaVuSans(size), fontName(size), path) ? 0 : 1;
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

/*
 * Default and --fit ink --metrics timed in turns, so that both see the same machine; best of runs each.
 * With path, each writes its file as well.
 */
void compareFits(const QFont &font, const QString &label, const QString &path, bool metrics, int runs)
{
    const RenderSettings settings = inkFit(metrics);
    double defaultBest = 1e30;
    double inkBest = 1e30;
    for (int i = 0; i < runs; ++i) {
        defaultBest = std::min(defaultBest, bench::bestSeconds(1, [&] {
            if (path.isEmpty()) {
                Models::Font docFont(QStringLiteral("n.of"));
                renderGlyphs(font, defaultLetters(), &docFont);
            } else {
                produceFontFile(font, QStringLiteral("n.of"), path);
            }
        }));
        inkBest = std::min(inkBest, bench::bestSeconds(1, [&] {
            FontGeometry geometry;
            if (path.isEmpty()) {
                Models::Font docFont(QStringLiteral("n.of"));
                renderGlyphs(font, defaultLetters(), settings, &docFont, &geometry);
            } else {
                produceFontFile(font, QStringLiteral("n.of"), path, defaultLetters(), settings, &geometry);
            }
        }));
    }
    const QString what = QLatin1String(path.isEmpty() ? "render" : "render+write") + QLatin1String(metrics ? "" : ", no kerning");
    std::printf("%-28s %-26s %10.2f %10.2f %7.2fx\n", qPrintable(label), qPrintable(what),
                defaultBest * 1e3, inkBest * 1e3, inkBest / defaultBest);
}

// The ink of letter drawn with the pen at origin on a canvas where nothing is cut off, relative to the pen.
QRect wholeInk(const QFont &font, const QString &letter)
{
    const int side = 8 * QFontMetrics(font).height();
    QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(0);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.drawText(side / 2, side / 2, letter);
    painter.end();
    return inkRect(canvas).translated(-side / 2, -side / 2);
}

/* Glyph images that lose ink at an edge: drawn by default (line box), and fitted to the ink. */
void countClipped(const QString &family, const QString &style, int size)
{
    const QFont font = InstalledFonts::font(family, style, size);
    const int ascent = QFontMetrics(font).ascent();
    Models::Font lineBox(QStringLiteral("n.of"));
    renderGlyphs(font, &lineBox);
    Models::Font fitted(QStringLiteral("n.of"));
    FontGeometry geometry;
    renderGlyphs(font, defaultLetters(), inkFit(false), &fitted, &geometry);
    int clippedByDefault = 0;
    int clippedFitted = 0;
    for (int i = 0; i < defaultLetters().size(); ++i) {
        const QString letter = defaultLetters().at(i);
        const QRect ink = wholeInk(font, letter);
        const QImage image = lineBox.getCharacter(letter)->getPictures().first()->getImage();
        clippedByDefault += !ink.isNull() && !image.rect().translated(0, -ascent).contains(ink);
        clippedFitted += ink.size() != geometry.letters.at(i).ink.size();
    }
    std::printf("%-28s %3d pt %8d %8d of %d\n", qPrintable(family + QLatin1Char(' ') + style), size, clippedByDefault,
                clippedFitted, int(defaultLetters().size()));
}

bool sameImages(const Models::Font &a, const Models::Font &b)
{
    for (const QString &letter : defaultLetters()) {
        if (a.getCharacter(letter)->getPictures().first()->getImage() != b.getCharacter(letter)->getPictures().first()->getImage()) {
            return false;
        }
    }
    return true;
}

/*
 * The default drawing, and the same finding the letters whose images cut off ink, timed in turns; best of runs
 * each. The images must be the same bytes either way.
 */
void compareClipFinding(const QString &family, const QString &style, int size, int runs)
{
    if (!InstalledFonts::styles(family).contains(style)) {
        std::printf("%-28s not installed\n", qPrintable(family + QLatin1Char(' ') + style));
        return;
    }
    const QFont font = InstalledFonts::font(family, style, size);
    Models::Font plain(QStringLiteral("n.of"));
    Models::Font checked(QStringLiteral("n.of"));
    QStringList clipped;
    renderGlyphs(font, defaultLetters(), &plain);
    renderGlyphs(font, defaultLetters(), &checked, nullptr, 0, &clipped);
    if (!sameImages(plain, checked)) {
        std::fprintf(stderr, "%s: finding clipped letters changed the images\n", qPrintable(family));
        return;
    }
    double plainBest = 1e30;
    double checkedBest = 1e30;
    for (int i = 0; i < runs; ++i) {
        plainBest = std::min(plainBest, bench::bestSeconds(1, [&] {
            Models::Font docFont(QStringLiteral("n.of"));
            renderGlyphs(font, defaultLetters(), &docFont);
        }));
        checkedBest = std::min(checkedBest, bench::bestSeconds(1, [&] {
            Models::Font docFont(QStringLiteral("n.of"));
            QStringList found;
            renderGlyphs(font, defaultLetters(), &docFont, nullptr, 0, &found);
        }));
    }
    std::printf("%-28s %3d pt %10.2f %10.2f %7.2fx %8d\n", qPrintable(family + QLatin1Char(' ') + style), size,
                plainBest * 1e3, checkedBest * 1e3, checkedBest / plainBest, int(clipped.size()));
}

// CPU time of this thread: the machine is shared, and wall time would count the others' work too.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

enum class KerningWork { Render, Metrics, EveryPair };

// The work of one row of the kerning table on the letters of font: render, render --metrics, or render with
// every pair shaped through Qt, ligatures forming.
void kerningWork(const QFont &font, KerningWork work)
{
    Models::Font docFont(QStringLiteral("n.of"));
    FontGeometry geometry;
    RenderSettings settings;
    settings.metrics = work == KerningWork::Metrics;
    renderGlyphs(font, defaultLetters(), settings, &docFont, work == KerningWork::Render ? nullptr : &geometry);
    if (work == KerningWork::EveryPair) {
        geometry.kerning = kerningOfEveryPair(QFontMetricsF(font), defaultLetters(), true);
    }
}

/*
 * What a child started with --kerning-work FAMILY STYLE SIZE WORK does: the work once, as a run of render
 * does it, in a fresh process where nothing of the font is cached yet; prints its CPU time in seconds.
 */
int kerningWorkOnce(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QFont font = InstalledFonts::font(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]), QByteArray(argv[4]).toInt());
    const double start = threadSeconds();
    kerningWork(font, KerningWork(QByteArray(argv[5]).toInt()));
    std::printf("%.9f\n", threadSeconds() - start);
    return 0;
}

double kerningWorkSeconds(const QString &family, const QString &style, int size, KerningWork work)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--kerning-work"), family, style, QString::number(size), QString::number(int(work))});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        std::fprintf(stderr, "child for %s failed\n", qPrintable(family));
        return 1e30;
    }
    return process.readAllStandardOutput().trimmed().toDouble();
}

/*
 * Render and render --metrics in CPU time, each in a fresh process as a run of render does it, in turns, best
 * of runs each: the metrics as they are measured (only the pairs the font's kerning data reaches), and with
 * every pair shaped through Qt instead, ligatures and all. The pairs measured are first checked against every
 * pair shaped with ligatures kept apart.
 */
void compareKerning(const QString &family, const QString &style, int size, int runs)
{
    if (!InstalledFonts::styles(family).contains(style)) {
        std::printf("%-28s not installed\n", qPrintable(family + QLatin1Char(' ') + style));
        return;
    }
    const QFont font = InstalledFonts::font(family, style, size);
    RenderSettings withMetrics;
    withMetrics.metrics = true;
    FontGeometry checked;
    Models::Font checkedFont(QStringLiteral("n.of"));
    renderGlyphs(font, defaultLetters(), withMetrics, &checkedFont, &checked);
    if (kerningLines(checked.kerning) != kerningLines(kerningOfEveryPair(QFontMetricsF(font), defaultLetters(), false))) {
        std::printf("%-28s the pairs differ from every pair shaped; no figures\n", qPrintable(family));
        return;
    }
    double render = 1e30;
    double measured = 1e30;
    double everyPair = 1e30;
    for (int i = 0; i < runs; ++i) {
        render = std::min(render, kerningWorkSeconds(family, style, size, KerningWork::Render));
        measured = std::min(measured, kerningWorkSeconds(family, style, size, KerningWork::Metrics));
        everyPair = std::min(everyPair, kerningWorkSeconds(family, style, size, KerningWork::EveryPair));
    }
    std::printf("%-28s %3d pt %5d %10.2f %10.2f %7.2fx %10.2f %7.2fx\n", qPrintable(family + QLatin1Char(' ') + style),
                size, int(checked.kerning.size()), render * 1e3, measured * 1e3, measured / render, everyPair * 1e3,
                everyPair / render);
}

void printKerning(const QString &serif)
{
    std::printf("\n%-28s %6s %5s %10s %10s %8s %10s %8s\n", "kerning in the metrics", "", "pairs", "render ms",
                "metrics ms", "ratio", "every pair", "ratio");
    for (const QString &family : {QStringLiteral("DejaVu Sans"), serif, QStringLiteral("Liberation Serif"), QStringLiteral("Noto Sans")}) {
        const QString style = family.startsWith(QLatin1String("DejaVu")) ? QStringLiteral("Book") : QStringLiteral("Regular");
        compareKerning(family, style, 16, 20);
    }
    compareKerning(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 32, 10);
    std::printf("CPU time of rendering in a fresh process (nothing of the font cached), best of the runs each, in turns:\n"
                "render = renderGlyphs as render draws by default; metrics = the same with --metrics (letters and\n"
                "the pairs the kerning data reaches);\n"
                "every pair = the letters measured and all 99 x 99 pairs shaped through Qt, ligatures forming.\n"
                "(bench_render --kerning prints this table alone.)\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--produce") == 0) {
        return produceOnce(argc, argv);
    }
    if (argc == 6 && std::strcmp(argv[1], "--kerning-work") == 0) {
        return kerningWorkOnce(argc, argv);
    }
    if (argc == 2 && std::strcmp(argv[1], "--start") == 0) {
        QGuiApplication app(argc, argv);
        return dejaVuSans(12).family().isEmpty() ? 1 : 0;
    }

    QGuiApplication app(argc, argv);
    const QString serif = QStringLiteral("DejaVu Serif");
    if (argc == 2 && std::strcmp(argv[1], "--kerning") == 0) {
        printKerning(serif);
        return 0;
    }
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

    std::printf("\n%-28s %-26s %10s %10s %8s\n", "font", "what", "default ms", "ink ms", "ratio");
    for (const int size : {16, 32, 128}) {
        const QFont font = dejaVuSans(size);
        const QString label = QStringLiteral("DejaVu Sans Book %1 pt").arg(size);
        compareFits(font, label, QString(), true, size >= 128 ? 5 : 20);
        compareFits(font, label, QString(), false, size >= 128 ? 5 : 20);
        compareFits(font, label, path, true, size >= 128 ? 5 : 20);
        compareFits(font, label, path, false, size >= 128 ? 5 : 20);
    }
    compareFits(InstalledFonts::font(serif, QStringLiteral("Italic"), 32), QStringLiteral("DejaVu Serif Italic 32 pt"), path, true, 20);
    for (const int size : {16, 32}) {
        const QStringList produce{QStringLiteral("--produce"), QString::number(size), path};
        double defaultBest = 1e30;
        double inkBest = 1e30;
        for (int i = 0; i < 10; ++i) {
            defaultBest = std::min(defaultBest, bestProcessSeconds(1, produce));
            inkBest = std::min(inkBest, bestProcessSeconds(1, produce + QStringList(QStringLiteral("ink"))));
        }
        std::printf("%-28s %-26s %10.2f %10.2f %7.2fx\n", qPrintable(QStringLiteral("DejaVu Sans Book %1 pt").arg(size)),
                    "whole process", defaultBest * 1e3, inkBest * 1e3, inkBest / defaultBest);
    }
    std::printf("ink = renderGlyphs/produceFontFile with --fit ink --metrics, timed in turn with the default drawing\n"
                "of the same font, best of the runs each; \"no kerning\" fits the ink and measures each letter alone;\n"
                "whole process = this program started with --produce, as above, best of 10 each.\n");

    std::printf("\n%-28s %6s %8s %8s\n", "clipped glyph images", "", "default", "ink");
    for (const QString &family : {QStringLiteral("DejaVu Sans"), serif, QStringLiteral("Liberation Serif"), QStringLiteral("Noto Serif")}) {
        const QString style = family == QLatin1String("DejaVu Sans") ? QStringLiteral("Book") : QStringLiteral("Italic");
        if (!InstalledFonts::styles(family).contains(style)) {
            std::printf("%-28s not installed\n", qPrintable(family + QLatin1Char(' ') + style));
            continue;
        }
        for (const int size : {16, 32, 64}) {
            countClipped(family, style, size);
        }
    }
    std::printf("A glyph image is clipped when the glyph drawn on a large canvas has ink outside it.\n");

    std::printf("\n%-28s %6s %10s %10s %8s %8s\n", "finding clipped letters", "", "plain ms", "found ms", "ratio", "clipped");
    for (const int size : {16, 32, 128}) {
        compareClipFinding(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), size, size >= 128 ? 5 : 20);
    }
    compareClipFinding(serif, QStringLiteral("Italic"), 32, 20);
    compareClipFinding(QStringLiteral("Z003"), QStringLiteral("Medium Italic"), 32, 20);
    compareClipFinding(QStringLiteral("Z003"), QStringLiteral("Medium Italic"), 64, 10);
    std::printf("plain = renderGlyphs with the default layout; found = the same, setting the letters whose images\n"
                "cut off ink (the render command's line); the same images either way, best of the runs each.\n");

    printKerning(serif);
    return 0;
}
