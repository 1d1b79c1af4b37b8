#include "renderoptions.h"

#include "charset.h"
#include "command.h"
#include "glyphoptions.h"
#include "outputfile.h"
#include "shardoptions.h"
#include "sizelist.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace Render {

namespace {


// Cli::exitOk with the sizes to render; otherwise the status of the usage error it printed.
int readSizes(const Cli::CommandLine &line, Options *options)
{
    const bool points = line.isSet(QStringLiteral("size"));
    options->pixels = line.isSet(QStringLiteral("px"));
    if (points && options->pixels) {
        return line.usageError(QStringLiteral("--size and --px exclude each other"));
    }
    if (!points && !options->pixels) {
        options->sizes.append(defaultSize);
        return Cli::exitOk;
    }
    const QString name = options->pixels ? QStringLiteral("px") : QStringLiteral("size");
    QString error;
    if (!Sizes::parseList(line.value(name), maxSize, options->pixels ? QStringLiteral("pixel size") : QStringLiteral("point size"),
                          &options->sizes, &error)) {
        return line.usageError(QStringLiteral("--%1: %2").arg(name, error));
    }
    return Cli::exitOk;
}

QVector<uint> fixedCodePoints()
{
    QVector<uint> codePoints;
    for (const QString &letter : defaultLetters()) {
        codePoints.append(letter.toUcs4().value(0));
    }
    return codePoints;
}

// Cli::exitOk with the code points to draw (and the letters of --chars-from); otherwise the status of the error it printed.
int readCharacters(const Cli::CommandLine &line, QVector<uint> *codePoints, QStringList *clusters)
{
    const bool fromList = line.isSet(QStringLiteral("chars"));
    const bool fromFile = line.isSet(QStringLiteral("chars-file"));
    QString error;
    if (line.isSet(QStringLiteral("chars-from"))) {
        if (fromList || fromFile) {
            return line.usageError(QStringLiteral("--chars-from excludes --chars and --chars-file"));
        }
        switch (Charset::readClusters(line.value(QStringLiteral("chars-from")), clusters, codePoints, &error)) {
        case Charset::FileRead::Done:
            return Cli::exitOk;
        case Charset::FileRead::Unreadable:
            return line.failure(QStringLiteral("--chars-from: ") + error);
        case Charset::FileRead::Refused:
            return line.usageError(QStringLiteral("--chars-from: ") + error);
        }
    }
    if (fromList && !Charset::parseList(line.value(QStringLiteral("chars")), codePoints, &error)) {
        return line.usageError(QStringLiteral("--chars: ") + error);
    }
    if (fromFile) {
        switch (Charset::readFile(line.value(QStringLiteral("chars-file")), codePoints, &error)) {
        case Charset::FileRead::Done:
            break;
        case Charset::FileRead::Unreadable:
            return line.failure(QStringLiteral("--chars-file: ") + error);
        case Charset::FileRead::Refused:
            return line.usageError(QStringLiteral("--chars-file: ") + error);
        }
    }
    if (!fromList && !fromFile) {
        *codePoints = fixedCodePoints();
    }
    return Cli::exitOk;
}

// Cli::exitOk with the styles of family to render; otherwise the status of the usage error it printed.
int readStyles(const Cli::CommandLine &line, const QString &family, QStringList *styles)
{
    const QStringList familyStyles = InstalledFonts::styles(family);
    if (line.isSet(QStringLiteral("all-styles"))) {
        *styles = familyStyles;
        std::sort(styles->begin(), styles->end());
    } else if (line.isSet(QStringLiteral("style"))) {
        const QString style = line.value(QStringLiteral("style"));
        const auto knownStyle = std::find_if(familyStyles.cbegin(), familyStyles.cend(), [&](const QString &known) {
            return known.compare(style, Qt::CaseInsensitive) == 0;
        });
        if (knownStyle == familyStyles.cend()) {
            return line.usageError(QStringLiteral("--style: %1 has no style \"%2\"; it has: %3")
                                       .arg(family, style, familyStyles.join(QStringLiteral(", "))));
        }
        styles->append(*knownStyle);
    } else {
        styles->append(FontSources::defaultStyle(familyStyles));
    }
    return Cli::exitOk;
}

// Cli::exitOk with the installed families' faces added; otherwise the status of the usage error it printed.
int readFamilies(const Cli::CommandLine &line, Options *options)
{
    const bool all = line.isSet(QStringLiteral("all-families"));
    QStringList names = line.values(QStringLiteral("family"));
    if (all && !names.isEmpty()) {
        return line.usageError(QStringLiteral("--family and --all-families exclude each other"));
    }
    if (line.isSet(QStringLiteral("style")) && line.isSet(QStringLiteral("all-styles"))) {
        return line.usageError(QStringLiteral("--style and --all-styles exclude each other"));
    }
    const bool fromFiles = line.isSet(QStringLiteral("font-file")) || line.isSet(QStringLiteral("font-dir"));
    const QStringList installed = InstalledFonts::families();
    QStringList families;
    if (all) {
        for (const QString &family : installed) {
            // Generic names such as "Monospace" are listed too; their fonts come with the real family.
            if (!InstalledFonts::isPrivateFamily(family) && FontSources::installedFamily(installed, family) == family) {
                families.append(family);
            }
        }
    } else if (names.isEmpty() && !fromFiles) {
        names.append(defaultFamily);
    }
    for (const QString &name : names) {
        const QString family = FontSources::installedFamily(installed, name);
        if (family.isEmpty()) {
            return line.usageError(QStringLiteral("--family: no installed font family is called \"%1\" "
                                                  "(fc-list : family lists them)").arg(name));
        }
        if (family.compare(name, Qt::CaseInsensitive) != 0 && !name.startsWith(family + QLatin1Char(','))) {
            line.note(QStringLiteral("\"%1\" is %2").arg(name, family));
        }
        if (!families.contains(family)) {
            families.append(family);
        }
    }
    for (const QString &family : families) {
        QStringList styles;
        if (families.size() > 1 && line.isSet(QStringLiteral("style"))
            && !InstalledFonts::styles(family).contains(line.value(QStringLiteral("style")), Qt::CaseInsensitive)) {
            line.note(QStringLiteral("%1 has no style \"%2\"; skipped").arg(family, line.value(QStringLiteral("style"))));
            ++options->skippedFonts;
            continue;
        }
        const int status = readStyles(line, family, &styles);
        if (status != Cli::exitOk) {
            return status;
        }
        for (const QString &style : styles) {
            options->faces.append(FontSources::Face{family, style, family, style, QString(), -1});
        }
    }
    return Cli::exitOk;
}

// Registers every font file named or found; each one refused gets a line and is counted.
// The SHA-256 of the file spec names, and the face it asks for; empty when it cannot be read.
QByteArray contentKey(const QString &spec)
{
    QString path = spec;
    QByteArray face;
    const QRegularExpressionMatch member = QRegularExpression(QStringLiteral("^(.*)(#\\d{1,6})$")).match(spec);
    if (member.hasMatch() && !QFileInfo::exists(spec)) {
        path = member.captured(1);
        face = member.captured(2).toLatin1();
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return hash.addData(&file) ? hash.result() + face : QByteArray();
}

void readFontFiles(const Cli::CommandLine &line, Options *options)
{
    QStringList specs = line.values(QStringLiteral("font-file"));
    for (const QString &directory : line.values(QStringLiteral("font-dir"))) {
        if (!QFileInfo(directory).isDir()) {
            line.note(QStringLiteral("--font-dir: %1: not a directory").arg(directory));
            ++options->refusedFiles;
            continue;
        }
        QStringList problems;
        int scanned = 0;
        const QStringList found = FontSources::filesIn(directory, &problems, &scanned);
        for (const QString &problem : problems) {
            line.note(problem);
        }
        options->refusedFiles += problems.size();
        if (found.isEmpty() && problems.isEmpty()) {
            line.note(QStringLiteral("--font-dir: %1: no font files among its %2 files").arg(directory).arg(scanned));
            ++options->refusedFiles;
        }
        specs += found;
    }
    QHash<QByteArray, QString> seen; // by content and face
    for (const QString &spec : specs) {
        QString error;
        const QByteArray key = contentKey(spec);
        if (!key.isEmpty() && seen.contains(key)) {
            line.note(QStringLiteral("%1: same font as %2").arg(spec, seen.value(key)));
            continue;
        }
        if (!key.isEmpty()) {
            seen.insert(key, spec);
        }
        if (!FontSources::addFile(spec, &options->faces, &error)) {
            line.note(QStringLiteral("%1: %2").arg(spec, error));
            ++options->refusedFiles;
        }
    }
}

// Cli::exitOk with where fileCount files go, a directory made when missing; otherwise the status of the error it printed.
int resolveDestination(const Cli::CommandLine &line, const QString &output, int fileCount, Destination *destination)
{
    if (output.isEmpty()) {
        return Cli::exitOk;
    }
    const bool namesDirectory = output.endsWith(QLatin1Char('/')) || QFileInfo(output).isDir();
    if (fileCount == 1 && !namesDirectory) {
        destination->singlePath = QFileInfo(output).absoluteFilePath();
        return Cli::exitOk;
    }
    if (QFileInfo::exists(output) && !QFileInfo(output).isDir()) {
        return line.usageError(QStringLiteral("--output: %1 files go into a directory, and \"%2\" is a file")
                                   .arg(fileCount).arg(output));
    }
    if (!namesDirectory && output.endsWith(QLatin1String(".of"), Qt::CaseInsensitive)) {
        return line.usageError(QStringLiteral("--output: %1 files go into a directory, and \"%2\" ends in .of like "
                                              "a file; end it with \"/\" to make it a directory")
                                   .arg(fileCount).arg(output));
    }
    // A directory literally named "~" is a trap: removing it later with rm -rf ~ removes the home directory.
    if (output.startsWith(QLatin1Char('~')) && !QFileInfo::exists(output)) {
        return line.usageError(QStringLiteral("--output: \"%1\" starts with \"~\", which the shell did not expand "
                                              "(it does not inside quotes or after \"=\"); use $HOME").arg(output));
    }
    if (!QDir().mkpath(output)) {
        return line.failure(QStringLiteral("cannot create the directory %1").arg(output));
    }
    destination->directory = QDir(output);
    return Cli::exitOk;
}

// Cli::exitOk with the flags read; otherwise the status of the usage error it printed.
int readFlags(const Cli::CommandLine &line, Options *options)
{
    const QString dpiText = line.peek(QStringLiteral("dpi"));
    if (!parseDpi(dpiText, &options->dpi)) {
        return line.usageError(QStringLiteral("--dpi: \"%1\" is not a number from 1 to 10000").arg(dpiText));
    }
    const QList<QPair<QString, Missing>> modes{{QStringLiteral("strict"), Missing::Strict},
                                              {QStringLiteral("skip-missing"), Missing::Skip},
                                              {QStringLiteral("skip-incomplete"), Missing::SkipFont}};
    QStringList given;
    for (const auto &mode : modes) {
        if (line.isSet(mode.first)) {
            given.append(QStringLiteral("--") + mode.first);
            options->missing = mode.second;
        }
    }
    if (given.size() > 1) {
        return line.usageError(QStringLiteral("%1 exclude each other").arg(given.join(QStringLiteral(" and "))));
    }
    options->threads = QThread::idealThreadCount();
    if (line.isSet(QStringLiteral("jobs"))) {
        bool ok = false;
        options->threads = line.value(QStringLiteral("jobs")).toInt(&ok, 10);
        if (!ok || options->threads < 1 || options->threads > maxThreads) {
            return line.usageError(QStringLiteral("-j: \"%1\" is not a number of threads from 1 to %2")
                                       .arg(line.value(QStringLiteral("jobs")), QString::number(maxThreads)));
        }
    }
    options->manifest = line.value(QStringLiteral("manifest"));
    options->output = line.value(QStringLiteral("output"));
    options->into = line.value(QStringLiteral("into"));
    if (!options->into.isEmpty() && (!options->output.isEmpty() || !options->manifest.isEmpty())) {
        return line.usageError(QStringLiteral("--into writes one file, so --output and --manifest do not go with it"));
    }
    const QString nameFrom = line.value(QStringLiteral("name-from"));
    if (!nameFrom.isEmpty() && nameFrom != QLatin1String("font") && nameFrom != QLatin1String("file")) {
        return line.usageError(QStringLiteral("--name-from: \"%1\" is neither font nor file").arg(nameFrom));
    }
    options->nameFromFile = nameFrom == QLatin1String("file");
    options->compress = line.isSet(QStringLiteral("compress"));
    if (options->compress && !options->into.isEmpty()) {
        options->into = Cli::compressedPath(options->into);
    }
    const int status = readShardOptions(line, &options->shard);
    if (status != Cli::exitOk) {
        return status;
    }
    if (!options->into.isEmpty() && options->shard.isSharded()) {
        return line.usageError(QStringLiteral("--into writes one file, so --shard does not go with it"));
    }
    if (!options->manifest.isEmpty()) {
        options->manifest = Shards::shardPath(options->manifest, options->shard);
    }
    options->resume = line.isSet(QStringLiteral("resume"));
    if (options->resume && options->manifest.isEmpty()) {
        return line.usageError(QStringLiteral("--resume needs --manifest, whose records say which files are complete"));
    }
    return Cli::exitOk;
}

} // namespace

bool parseDpi(const QString &text, int *dpi)
{
    bool ok = true;
    *dpi = text.isNull() ? defaultDpi : text.toInt(&ok, 10);
    return ok && *dpi >= 1 && *dpi <= 10000;
}

int readOptions(const Cli::CommandLine &line, Options *options)
{
    int status = readFlags(line, options);
    if (status == Cli::exitOk) {
        status = readSizes(line, options);
    }
    if (status == Cli::exitOk && !options->into.isEmpty() && options->sizes.size() != 1) {
        status = line.usageError(QStringLiteral("--into takes the fonts at one size; %1 are given").arg(options->sizes.size()));
    }
    if (status == Cli::exitOk) {
        status = readCharacters(line, &options->codePoints, &options->clusters);
    }
    if (status == Cli::exitOk) {
        status = readGlyphOptions(line, &options->settings);
    }
    // Only now: the database reads every installed font, and the checks above need none.
    if (status == Cli::exitOk) {
        status = readFamilies(line, options);
    }
    if (status == Cli::exitOk) {
        readFontFiles(line, options);
        const int fileCount = options->faces.size() * options->sizes.size();
        status = resolveDestination(line, options->output, fileCount, &options->destination);
    }
    return status;
}

} // namespace Render
