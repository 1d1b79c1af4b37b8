#include "rendercommand.h"

#include "charset.h"
#include "cli.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QRawFont>
#include <QSet>

#include <cstdio>
#include <unistd.h>

namespace {

const char *const command = "render";
const QString defaultFamily = QStringLiteral("DejaVu Sans");
const QString defaultStyle = QStringLiteral("Book");
constexpr int defaultSize = 32;
constexpr int maxSize = 1024;
constexpr int defaultDpi = 96;

struct Job {
    QString style;
    int size = 0;
    QFont font;
    QString path;
    QStringList letters;
    QVector<uint> missing;
};

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Renders an installed font into an OF font file, as the QuillmereMakeFont window does, without a display.\n"
        "Without options: DejaVu Sans, style Book, 32 pt, 96 dpi, into the current directory.\n"
        "\n"
        "Examples:\n"
        "  oftool render\n"
        "  oftool render --family \"DejaVu Serif\" --style Bold --size 12,16,24,32 --output fonts/\n"
        "  oftool render --size 48 --chars 33-126,0xE0-0xE9 --skip-missing --output latin.of\n"
        "\n"
        "Exit status: 0 every file written, 1 usage error, 2 a file could not be read or written,\n"
        "3 --strict and a character is missing from the font."));
    parser.addOptions({
        {QStringLiteral("family"), QStringLiteral("Font family (default: %1).").arg(defaultFamily), QStringLiteral("name")},
        {QStringLiteral("style"), QStringLiteral("Style of the family (default: %1, or the family's regular style).").arg(defaultStyle),
         QStringLiteral("name")},
        {QStringLiteral("all-styles"), QStringLiteral("Render every style of the family.")},
        {QStringLiteral("size"), QStringLiteral("Point size, or a comma list such as 12,16,24,32 (default: %1). Very large sizes "
                                                "are limited by a pixel budget that depends on the font.").arg(defaultSize),
         QStringLiteral("points")},
        {QStringLiteral("output"), QStringLiteral("Output file for one font, directory for several; a path ending in \"/\" or naming "
                                                  "a directory is taken as one, made when missing (default: current "
                                                  "directory)."),
         QStringLiteral("path")},
        {QStringLiteral("dpi"), QStringLiteral("Logical dots per inch, so sizes do not depend on the machine (default: %1).").arg(defaultDpi),
         QStringLiteral("dpi")},
        {QStringLiteral("chars"), QStringLiteral("Characters to draw instead of the usual 99: code points and ranges, "
                                                 "such as 33-126,0xA8,0xE0-0xE9."), QStringLiteral("list")},
        {QStringLiteral("chars-file"), QStringLiteral("Characters to draw, read from a UTF-8 text file (white space ignored)."),
         QStringLiteral("file")},
        {QStringLiteral("strict"), QStringLiteral("Fail, writing nothing, when the font lacks a character.")},
        {QStringLiteral("skip-missing"), QStringLiteral("Leave out the characters the font lacks.")},
    });
}

QString pickDefaultStyle(const QStringList &styles)
{
    for (const QString &preferred : {defaultStyle, QStringLiteral("Regular"), QStringLiteral("Normal"),
                                     QStringLiteral("Roman"), QStringLiteral("Medium")}) {
        if (styles.contains(preferred)) {
            return preferred;
        }
    }
    return styles.value(0);
}

bool parseSizes(const QString &text, QList<int> *sizes, QString *error)
{
    for (const QString &item : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int size = item.trimmed().toInt(&ok, 10);
        if (!ok || size <= 0 || size > maxSize) {
            *error = QStringLiteral("--size: \"%1\" is not a point size from 1 to %2").arg(item.trimmed()).arg(maxSize);
            return false;
        }
        if (!sizes->contains(size)) {
            sizes->append(size);
        }
    }
    return true;
}

QStringList lettersOf(const QVector<uint> &codePoints, const QVector<uint> &leaveOut)
{
    // A set: a large character list can lack tens of thousands of its characters.
    const QSet<uint> left(leaveOut.cbegin(), leaveOut.cend());
    QStringList letters;
    letters.reserve(codePoints.size());
    for (const char32_t codePoint : codePoints) {
        if (!left.contains(codePoint)) {
            letters.append(QString::fromUcs4(&codePoint, 1));
        }
    }
    return letters;
}

QVector<uint> fixedCodePoints()
{
    QVector<uint> codePoints;
    for (const QString &letter : defaultLetters()) {
        codePoints.append(letter.toUcs4().value(0));
    }
    return codePoints;
}

// Characters that the font itself lacks; Qt would otherwise draw them from a fallback font.
QVector<uint> missingFrom(const QFont &font, const QVector<uint> &codePoints)
{
    const QRawFont raw = QRawFont::fromFont(font);
    QVector<uint> missing;
    for (const uint codePoint : codePoints) {
        if (!raw.isValid() || !raw.supportsCharacter(codePoint)) {
            missing.append(codePoint);
        }
    }
    return missing;
}

class Progress
{
public:
    explicit Progress(int total)
        : m_total(total)
        , m_live(isatty(STDERR_FILENO))
    {
    }

    void step(int done, const QString &line)
    {
        if (m_live) {
            const int width = 24;
            const int filled = m_total ? width * done / m_total : width;
            std::fprintf(stderr, "\r\033[K[%s%s] %d/%d %s", QByteArray(filled, '#').constData(),
                         QByteArray(width - filled, ' ').constData(), done, m_total, line.toUtf8().constData());
            if (done == m_total) {
                std::fputc('\n', stderr);
            }
        } else {
            std::fprintf(stderr, "[%d/%d] %s\n", done, m_total, line.toUtf8().constData());
        }
        std::fflush(stderr);
    }

    void note(const QString &line)
    {
        std::fprintf(stderr, "%s%s\n", m_live ? "\r\033[K" : "", line.toUtf8().constData());
    }

private:
    int m_total;
    bool m_live;
};

} // namespace

int runRender(int argc, char **argv)
{
    const QString dpiText = Cli::peekOption(argc, argv, QStringLiteral("dpi"));
    bool dpiOk = true;
    const int dpi = dpiText.isNull() ? defaultDpi : dpiText.toInt(&dpiOk, 10);
    // The renderer sets the DPI on the images it draws into. Qt 6 takes an inherited QT_FONT_DPI as a scale
    // factor, which turns its default hinting off: the bytes would depend on the environment.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    Cli::preferOffscreen();
    Cli::dropRuntimeDirWarning();
    const QStringList arguments = Cli::arguments(argc, argv);
    const Cli::CommandApplication<QGuiApplication> app(argv[0]);

    QCommandLineParser parser;
    addOptions(parser);
    const Cli::Parsed parsed = Cli::parse(parser, command, QStringLiteral("oftool render [options]"), arguments);
    if (parsed != Cli::Parsed::Run) {
        return parsed == Cli::Parsed::Done ? Cli::exitOk : Cli::exitUsage;
    }
    QStringList positional;
    if (!Cli::takeArguments(parser, command, {}, &positional)) {
        return Cli::exitUsage;
    }
    if (!dpiOk || dpi < 1 || dpi > 10000) {
        return Cli::usageError(command, QStringLiteral("--dpi: \"%1\" is not a number from 1 to 10000").arg(dpiText));
    }
    if (parser.isSet(QStringLiteral("strict")) && parser.isSet(QStringLiteral("skip-missing"))) {
        return Cli::usageError(command, QStringLiteral("--strict and --skip-missing exclude each other"));
    }

    QString family = parser.isSet(QStringLiteral("family")) ? parser.value(QStringLiteral("family")) : defaultFamily;
    const QStringList families = InstalledFonts::families();
    const auto knownFamily = std::find_if(families.cbegin(), families.cend(), [&](const QString &known) {
        return known.compare(family, Qt::CaseInsensitive) == 0;
    });
    if (knownFamily == families.cend()) {
        return Cli::usageError(command, QStringLiteral("--family: no installed font family is called \"%1\" "
                                                       "(fc-list : family lists them)").arg(family));
    }
    family = *knownFamily;

    const QStringList familyStyles = InstalledFonts::styles(family);
    QStringList styles;
    if (parser.isSet(QStringLiteral("all-styles"))) {
        if (parser.isSet(QStringLiteral("style"))) {
            return Cli::usageError(command, QStringLiteral("--style and --all-styles exclude each other"));
        }
        styles = familyStyles;
        std::sort(styles.begin(), styles.end());
    } else if (parser.isSet(QStringLiteral("style"))) {
        const QString style = parser.value(QStringLiteral("style"));
        const auto knownStyle = std::find_if(familyStyles.cbegin(), familyStyles.cend(), [&](const QString &known) {
            return known.compare(style, Qt::CaseInsensitive) == 0;
        });
        if (knownStyle == familyStyles.cend()) {
            return Cli::usageError(command, QStringLiteral("--style: %1 has no style \"%2\"; it has: %3")
                                                .arg(family, style, familyStyles.join(QStringLiteral(", "))));
        }
        styles.append(*knownStyle);
    } else {
        styles.append(pickDefaultStyle(familyStyles));
    }

    QList<int> sizes;
    QString error;
    if (parser.isSet(QStringLiteral("size"))) {
        if (!parseSizes(parser.value(QStringLiteral("size")), &sizes, &error)) {
            return Cli::usageError(command, error);
        }
    } else {
        sizes.append(defaultSize);
    }

    QVector<uint> codePoints;
    const bool customCharacters = parser.isSet(QStringLiteral("chars")) || parser.isSet(QStringLiteral("chars-file"));
    if (parser.isSet(QStringLiteral("chars")) && !Charset::parseList(parser.value(QStringLiteral("chars")), &codePoints, &error)) {
        return Cli::usageError(command, QStringLiteral("--chars: ") + error);
    }
    if (parser.isSet(QStringLiteral("chars-file"))) {
        switch (Charset::readFile(parser.value(QStringLiteral("chars-file")), &codePoints, &error)) {
        case Charset::FileRead::Done:
            break;
        case Charset::FileRead::Unreadable:
            return Cli::failure(command, QStringLiteral("--chars-file: ") + error);
        case Charset::FileRead::Refused:
            return Cli::usageError(command, QStringLiteral("--chars-file: ") + error);
        }
    }
    if (!customCharacters) {
        codePoints = fixedCodePoints();
    }

    const int fileCount = styles.size() * sizes.size();
    const QString output = parser.value(QStringLiteral("output"));
    const bool namesDirectory = output.endsWith(QLatin1Char('/')) || QFileInfo(output).isDir();
    QDir outputDir = QDir::current();
    QString singlePath;
    if (fileCount == 1 && !output.isEmpty() && !namesDirectory) {
        singlePath = QFileInfo(output).absoluteFilePath();
    } else if (!output.isEmpty()) {
        if (QFileInfo::exists(output) && !QFileInfo(output).isDir()) {
            return Cli::usageError(command, QStringLiteral("--output: %1 files go into a directory, and \"%2\" is a file")
                                                .arg(fileCount).arg(output));
        }
        if (!namesDirectory && output.endsWith(QLatin1String(".of"), Qt::CaseInsensitive)) {
            return Cli::usageError(command, QStringLiteral("--output: %1 files go into a directory, and \"%2\" ends in .of like "
                                                           "a file; end it with \"/\" to make it a directory")
                                                .arg(fileCount).arg(output));
        }
        // A directory literally named "~" is a trap: removing it later with rm -rf ~ removes the home directory.
        if (output.startsWith(QLatin1Char('~')) && !QFileInfo::exists(output)) {
            return Cli::usageError(command, QStringLiteral("--output: \"%1\" starts with \"~\", which the shell did not expand "
                                                           "(it does not inside quotes or after \"=\"); use $HOME").arg(output));
        }
        if (!QDir().mkpath(output)) {
            std::fprintf(stderr, "oftool render: cannot create the directory %s\n", output.toUtf8().constData());
            return Cli::exitFailure;
        }
        outputDir = QDir(output);
    }

    QList<Job> jobs;
    bool anyMissing = false;
    for (const QString &style : styles) {
        for (const int size : sizes) {
            Job job;
            job.style = style;
            job.size = size;
            job.font = InstalledFonts::font(family, style, size);
            const QString name = defaultFontFileName(family, style, QString::number(size));
            job.path = singlePath.isEmpty() ? outputDir.absoluteFilePath(name) : singlePath;
            job.missing = missingFrom(job.font, codePoints);
            anyMissing = anyMissing || !job.missing.isEmpty();
            job.letters = parser.isSet(QStringLiteral("skip-missing")) ? lettersOf(codePoints, job.missing)
                                                                         : lettersOf(codePoints, {});
            jobs.append(job);
        }
    }

    for (const Job &job : qAsConst(jobs)) {
        for (const char32_t codePoint : job.missing) {
            std::fprintf(stderr, "oftool render: %s %s lacks %s (%s)%s\n", family.toUtf8().constData(),
                         job.style.toUtf8().constData(), Charset::codePointName(codePoint).toUtf8().constData(),
                         QString::fromUcs4(&codePoint, 1).toUtf8().constData(),
                         parser.isSet(QStringLiteral("skip-missing")) ? ", left out" : "");
        }
    }
    if (anyMissing && parser.isSet(QStringLiteral("strict"))) {
        std::fprintf(stderr, "oftool render: --strict: characters are missing, no file written\n");
        return Cli::exitStrict;
    }

    Progress progress(jobs.size());
    int written = 0;
    for (int i = 0; i < jobs.size(); ++i) {
        const Job &job = jobs.at(i);
        const QFontInfo info(job.font);
        const QString description = QStringLiteral("%1 %2 %3 pt (%4, %5, %6 px at %7 dpi)")
                                        .arg(family, job.style).arg(job.size)
                                        .arg(info.family(), info.styleName()).arg(renderedPixelSize(job.font, dpi)).arg(dpi);
        const QString fontName = defaultFontFileName(family, job.style, QString::number(job.size));
        if (produceFontFile(job.font, fontName, job.path, job.letters, dpi)) {
            ++written;
            std::printf("%s\n", job.path.toUtf8().constData());
            std::fflush(stdout);
            progress.step(i + 1, description + QStringLiteral(" -> ") + job.path);
            continue;
        }
        if (!fitsPixelBudget(job.font, job.letters, dpi)) {
            const int largest = largestFittingPointSize(job.font, job.letters, dpi);
            progress.note(QStringLiteral("oftool render: %1 %2 %3 pt: the glyph images would take more than %4 pixels; %5")
                              .arg(family, job.style, QString::number(job.size), QString::number(maxGlyphPixels),
                                   largest > 0 ? QStringLiteral("the largest size that fits is %1 pt").arg(largest)
                                               : QStringLiteral("not even 1 pt fits; draw fewer characters")));
        } else {
            const QString reason = Cli::cannotWrite(job.path, output);
            if (!reason.isEmpty()) {
                progress.note(QStringLiteral("oftool render: ") + reason);
            }
        }
        progress.step(i + 1, description + QStringLiteral(": could not write ") + job.path);
    }
    progress.note(QStringLiteral("oftool render: wrote %1 of %2 file%3").arg(written).arg(jobs.size())
                      .arg(jobs.size() == 1 ? QString() : QStringLiteral("s")));
    return written == jobs.size() ? Cli::exitOk : Cli::exitFailure;
}
