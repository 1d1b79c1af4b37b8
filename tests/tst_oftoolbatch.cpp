#include "outputname.h"
#include "sizelist.h"

#include "fontfiles.h"
#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"
#include "oftoolrun.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList errLines(const OftoolRun &run)
{
    return QString::fromUtf8(run.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Every file under directory, relative to it, in name order.
QStringList filesUnder(const QString &directory)
{
    QStringList files;
    for (QDirIterator it(directory, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        files.append(QDir(directory).relativeFilePath(it.next()));
    }
    files.sort();
    return files;
}

// Removes name under the directory at, however deep, by handles rather than paths too long for the system.
void removeTree(int at, const char *name)
{
    const int handle = openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (handle < 0) {
        unlinkat(at, name, 0);
        return;
    }
    DIR *directory = fdopendir(handle);
    QList<QByteArray> names;
    while (const dirent *entry = readdir(directory)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0) {
            names.append(entry->d_name);
        }
    }
    for (const QByteArray &entry : names) {
        removeTree(handle, entry.constData());
    }
    closedir(directory);
    unlinkat(at, name, AT_REMOVEDIR);
}

// An OF file without its font name line, which names the file rather than the glyphs.
QByteArray glyphsOf(const QString &path)
{
    QByteArray bytes = readAll(path);
    const int nameLine = bytes.indexOf("<font name=");
    return bytes.remove(nameLine, bytes.indexOf('\n', nameLine) - nameLine);
}

} // namespace

class tst_OftoolBatch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sizeLists_data();
    void sizeLists();
    void fileGlyphsOverInstalledFamily();
    void sameBytesInParallel();
    void collectionFaces_data();
    void collectionFaces();
    void badFontFiles_data();
    void badFontFiles();
    void familyNames_data();
    void familyNames();
    void manifestMatchesFiles();
    void skipIncompleteReportsOnce();
    void stopSignalLeavesNoPartialFile();
    void replacesLinkedFileKeepingPermissions();
    void mergePicturesOfFonts();
    void mergeRefusals_data();
    void mergeRefusals();
    void outputNames_data();
    void outputNames();
    void hostileFamilies_data();
    void hostileFamilies();
    void collectionOfOneFamily_data();
    void collectionOfOneFamily();
    void outputsNamingInputs_data();
    void outputsNamingInputs();
    void fontBeyondPathMax();
    void progressFitsTerminal();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    OftoolRun render(const QStringList &arguments) const
    {
        return runOftool(QStringList{QStringLiteral("render")} + arguments, m_dir->path());
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_OftoolBatch::init()
{
    if (!QFile::exists(dejaVuDirectory + QStringLiteral("DejaVuSans-Bold.ttf"))) {
        QSKIP("the DejaVu fonts are not in /usr/share/fonts/truetype/dejavu (fonts-dejavu-core)");
    }
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_OftoolBatch::sizeLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QString>("error");
    QTest::newRow("list, repeats once") << "12, 16,12" << QList<int>{12, 16} << QString();
    QTest::newRow("range") << "8-11" << QList<int>{8, 9, 10, 11} << QString();
    QTest::newRow("stepped range") << "8-20/4,9" << QList<int>{8, 12, 16, 20, 9} << QString();
    QTest::newRow("step past the end") << "8-10/5" << QList<int>{8} << QString();
    QTest::newRow("backwards") << "72-8" << QList<int>() << "\"72-8\" ends before it starts";
    QTest::newRow("open range") << "8-" << QList<int>()
                                << "\"8-\" is not a point size from 1 to 1024, nor a range such as 8-72 or 8-72/4";
    QTest::newRow("step zero") << "8-72/0" << QList<int>()
                               << "\"8-72/0\": the step after \"/\" belongs to a range and is a number from 1 to 1024";
    QTest::newRow("step without range") << "8/2" << QList<int>()
                                        << "\"8/2\": the step after \"/\" belongs to a range and is a number from 1 to 1024";
    QTest::newRow("beyond largest") << "1-1025" << QList<int>()
                                    << "\"1-1025\" is not a point size from 1 to 1024, nor a range such as 8-72 or 8-72/4";
    QTest::newRow("plus sign") << "+8" << QList<int>()
                               << "\"+8\" is not a point size from 1 to 1024, nor a range such as 8-72 or 8-72/4";
}

void tst_OftoolBatch::sizeLists()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, sizes);
    QFETCH(QString, error);
    QList<int> parsed;
    QString message;
    QCOMPARE(Sizes::parseList(text, 1024, QStringLiteral("point size"), &parsed, &message), error.isEmpty());
    QCOMPARE(message, error);
    if (error.isEmpty()) {
        QCOMPARE(parsed, sizes);
    }
}

void tst_OftoolBatch::fileGlyphsOverInstalledFamily()
{
    // Bold glyphs in a file that calls itself DejaVu Sans Book, the name of an installed font.
    const QString impostor = path(QStringLiteral("impostor.ttf"));
    QVERIFY(writeAll(impostor, renamedStyle(readAll(dejaVuDirectory + QStringLiteral("DejaVuSans-Bold.ttf")), "Bold", "Book", 400)));
    const OftoolRun run = render({"--font-file", impostor, "--size", "12", "--output", "file/"});
    QCOMPARE(run.status, 0);
    QCOMPARE(filesUnder(path("file")), QStringList{QStringLiteral("DejaVu_Sans__Book__12.of")});
    QCOMPARE(render({"--style", "Bold", "--size", "12", "--output", "bold.of"}).status, 0);
    QCOMPARE(render({"--style", "Book", "--size", "12", "--output", "book.of"}).status, 0);
    QVERIFY(glyphsOf(path("file/DejaVu_Sans__Book__12.of")) == glyphsOf(path("bold.of")));
    QVERIFY(glyphsOf(path("file/DejaVu_Sans__Book__12.of")) != glyphsOf(path("book.of")));
}

void tst_OftoolBatch::sameBytesInParallel()
{
    const QStringList batch{"--family", "DejaVu Sans", "--family", "DejaVu Serif", "--all-styles", "--size", "6-30/8"};
    const OftoolRun serial = render(batch + QStringList{"-j", "1", "--output", "serial/"});
    const OftoolRun parallel = render(batch + QStringList{"-j", "2", "--output", "parallel/"});
    QCOMPARE(serial.status, 0);
    QCOMPARE(parallel.status, 0);
    const QStringList files = filesUnder(path("serial"));
    QVERIFY(files.size() >= 8);
    QCOMPARE(filesUnder(path("parallel")), files);
    for (const QString &file : files) {
        QVERIFY2(readAll(path("serial/" + file)) == readAll(path("parallel/" + file)), qPrintable(file));
    }
    // Reported in the order planned, whichever thread finished first.
    QCOMPARE(QString::fromUtf8(parallel.out).replace(QStringLiteral("/parallel/"), QStringLiteral("/serial/")),
             QString::fromUtf8(serial.out));
}

void tst_OftoolBatch::collectionFaces_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QStringList>("families");
    QTest::addColumn<QString>("line");
    QTest::newRow("every face") << QString() << QStringList{"DejaVu Serif", "DejaVu Sans Mono"} << QString();
    QTest::newRow("#1") << "#1" << QStringList{"DejaVu Sans Mono"} << QString();
    QTest::newRow("#2") << "#2" << QStringList() << "oftool render: %1#2: has no face 2; it has 2 (0 to 1)";
    QTest::newRow("#-1") << "#-1" << QStringList() << "oftool render: %1#-1: \"#-1\" is no face index; faces are numbered from 0 to 999999";
    QTest::newRow("seven digits") << "#1234567" << QStringList()
                                  << "oftool render: %1#1234567: \"#1234567\" is no face index; faces are numbered from 0 to 999999";
}

void tst_OftoolBatch::collectionFaces()
{
    QFETCH(QString, face);
    QFETCH(QStringList, families);
    QFETCH(QString, line);
    const QString file = path("two faces.ttc");
    QVERIFY(writeAll(file, collection({readAll(dejaVuDirectory + "DejaVuSerif.ttf"), readAll(dejaVuDirectory + "DejaVuSansMono.ttf")})));
    const OftoolRun run = render({"--font-file", file + face, "--size", "10", "--output", "out/"});
    QCOMPARE(run.status, line.isEmpty() ? 0 : 2);
    if (!line.isEmpty()) {
        QVERIFY2(errLines(run).contains(line.arg(file)), run.err.constData());
    }
    QStringList expected;
    for (const QString &family : families) {
        const QString name = QString(family).replace(QLatin1Char(' '), QLatin1Char('_')) + "__Book__10.of";
        expected.append(name);
        QCOMPARE(render({"--family", family, "--size", "10", "--output", "installed.of"}).status, 0);
        QVERIFY2(readAll(path("out/" + name)) == readAll(path("installed.of")), qPrintable(name));
    }
    expected.sort();
    QCOMPARE(filesUnder(path("out")), expected);
}

void tst_OftoolBatch::badFontFiles_data()
{
    QTest::addColumn<QByteArray>("name"); // in the folder fonts/, beside a good font
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line"); // %1 is the folder
    QTest::newRow("empty") << QByteArray("empty.ttf") << "empty" << "oftool render: %1/empty.ttf: an empty file";
    QTest::newRow("truncated") << QByteArray("cut.ttf") << "cut"
                               << "oftool render: %1/cut.ttf: truncated: the directory of 20 tables is past the end (100 bytes)";
    QTest::newRow("text") << QByteArray("notes.otf") << "text"
                          << "oftool render: %1/notes.otf: not a font file (no TrueType, OpenType, WOFF or Type 1 header)";
    QTest::newRow("FIFO") << QByteArray("pipe.ttf") << "fifo" << "oftool render: %1/pipe.ttf: not a regular file";
    QTest::newRow("link loop") << QByteArray("loop.ttf") << "loop"
                               << "oftool render: %1/loop.ttf: a symbolic link that leads nowhere (or round in a loop)";
    QTest::newRow("name not text") << QByteArray("bad \xff name.ttf") << "good"
                                   << "oftool render: %1/bad \\xFF name.ttf: its name is not valid text, so it cannot be named to Qt";
    QTest::newRow("thousand other files") << QByteArray("other") << "others"
                                          << "oftool render: --font-dir: %1/other: no font files among its 1000 files";
}

void tst_OftoolBatch::badFontFiles()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, kind);
    QFETCH(QString, line);
    const QString folder = path("fonts");
    QVERIFY(QDir().mkpath(folder + "/deeper"));
    QVERIFY(QFile::copy(dejaVuDirectory + "DejaVuSerif.ttf", folder + "/deeper/good one.ttf"));
    const QByteArray bad = QFile::encodeName(folder) + '/' + name;
    const QByteArray font = readAll(dejaVuDirectory + "DejaVuSans.ttf");
    QStringList directories{folder};
    if (kind == "empty" || kind == "cut" || kind == "text" || kind == "good") {
        // By its bytes: the name may be no text.
        const QByteArray content = kind == "cut" ? font.left(100) : kind == "text" ? QByteArray("hello\n") : kind == "good" ? font : QByteArray();
        FILE *out = std::fopen(bad.constData(), "wb");
        QVERIFY(out && std::fwrite(content.constData(), 1, size_t(content.size()), out) == size_t(content.size()));
        std::fclose(out);
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(bad.constData(), 0600), 0);
    } else if (kind == "loop") {
        QCOMPARE(symlink("loop.ttf", bad.constData()), 0);
    } else if (kind == "others") {
        QVERIFY(QDir().mkpath(QFile::decodeName(bad)));
        for (int i = 0; i < 1000; ++i) {
            QVERIFY(writeAll(QFile::decodeName(bad) + QStringLiteral("/%1.txt").arg(i), QByteArray()));
        }
        directories.append(QFile::decodeName(bad));
    }
    QStringList arguments{"--size", "10", "--output", "out/"};
    for (const QString &directory : directories) {
        arguments += QStringList{"--font-dir", directory};
    }
    const OftoolRun run = render(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(errLines(run).contains(line.arg(folder)), run.err.constData());
    QCOMPARE(filesUnder(path("out")), QStringList{"DejaVu_Serif__Book__10.of"});
}

void tst_OftoolBatch::familyNames_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("note");
    QTest::newRow("as installed") << "dejavu serif" << "DejaVu_Serif__Book__10.of" << QString();
    QTest::newRow("fc-list list") << "DejaVu Serif,DejaVu Serif Condensed" << "DejaVu_Serif__Book__10.of" << QString();
    QTest::newRow("generic monospace") << "Monospace" << "DejaVu_Sans_Mono__Book__10.of"
                                       << "oftool render: \"Monospace\" is DejaVu Sans Mono";
    QTest::newRow("generic serif") << "serif" << "DejaVu_Serif__Book__10.of" << "oftool render: \"serif\" is DejaVu Serif";
}

void tst_OftoolBatch::familyNames()
{
    QFETCH(QString, family);
    QFETCH(QString, file);
    QFETCH(QString, note);
    const OftoolRun run = render({"--family", family, "--size", "10", "--output", "out/"});
    QCOMPARE(run.status, 0);
    QCOMPARE(filesUnder(path("out")), QStringList{file});
    QCOMPARE(errLines(run).filter(QStringLiteral("\" is ")), note.isEmpty() ? QStringList() : QStringList{note});
}

void tst_OftoolBatch::manifestMatchesFiles()
{
    const QString font = dejaVuDirectory + "DejaVuSansMono.ttf";
    const OftoolRun run = render({"--font-file", font, "--px", "16,20", "--chars", "65-67,0x5D0", "--skip-missing",
                                  "--output", "out/", "--manifest", "list.jsonl", "--metrics"});
    QCOMPARE(run.status, 0);
    const QList<QByteArray> records = readAll(path("list.jsonl")).split('\n');
    QCOMPARE(records.size(), 3); // and the empty piece after the last line end
    QVERIFY(records.last().isEmpty());
    for (int i = 0; i < 2; ++i) {
        const QJsonObject record = QJsonDocument::fromJson(records.at(i)).object();
        const QString file = record.value("file").toString();
        QCOMPARE(file, path(QStringLiteral("out/DejaVu_Sans_Mono__Book__%1px.of").arg(i == 0 ? 16 : 20)));
        QCOMPARE(record.value("fontFile").toString(), font);
        QCOMPARE(record.value("faceIndex").toInt(-1), 0);
        QVERIFY(record.value("pointSize").isNull());
        QCOMPARE(record.value("pixelSize").toInt(), i == 0 ? 16 : 20);
        QCOMPARE(record.value("dpi").toInt(), 96);
        QCOMPARE(record.value("requestedCount").toInt(), 4);
        QCOMPARE(record.value("missing").toArray(), QJsonArray{"U+05D0"});
        QCOMPARE(qint64(record.value("bytes").toDouble()), QFileInfo(file).size());
        QCOMPARE(record.value("qtVersion").toString(), QString::fromLatin1(qVersion()));
        QCOMPARE(record.value("metricsFile").toString(), file + ".metrics.json");
        QVERIFY(QFileInfo(file + ".metrics.json").isFile());
        // The fields info --json has too say the same.
        const OftoolRun info = runOftool({"info", "--json", file}, m_dir->path());
        QCOMPARE(info.status, 0);
        const QJsonObject shown = QJsonDocument::fromJson(info.out).object();
        for (const char *key : {"file", "name", "letterCount", "pictureCount", "letters"}) {
            QVERIFY2(record.contains(key), key);
            QCOMPARE(record.value(key), shown.value(key));
        }
    }
}

void tst_OftoolBatch::skipIncompleteReportsOnce()
{
    // DejaVu Serif lacks the Hebrew alef that DejaVu Sans has.
    const OftoolRun run = render({"--family", "DejaVu Sans", "--family", "DejaVu Serif", "--size", "10,12,14",
                                  "--chars", "65,0x5D0", "--skip-incomplete", "--output", "out/"});
    QCOMPARE(run.status, 0);
    QCOMPARE(errLines(run).filter(QStringLiteral("lacks")),
             QStringList{"oftool render: skipped, incomplete: DejaVu Serif Book lacks 1 of 2 characters: U+05D0"});
    QVERIFY2(errLines(run).contains("oftool render: wrote 3 of 6 files; 3 skipped, 0 failed, 3 incomplete"), run.err.constData());
    QCOMPARE(filesUnder(path("out")),
             (QStringList{"DejaVu_Sans__Book__10.of", "DejaVu_Sans__Book__12.of", "DejaVu_Sans__Book__14.of"}));
}

void tst_OftoolBatch::stopSignalLeavesNoPartialFile()
{
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(OFTOOL_PATH), {"render", "--all-styles", "--size", "8-400", "-j", "2", "--output", "out/"});
    QVERIFY(process.waitForStarted());
    // The first file written shows the batch under way.
    while (!process.canReadLine()) {
        QVERIFY(process.waitForReadyRead(60000));
    }
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + SIGTERM);
    QStringList reported;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty()) {
            reported.append(QDir(path("out")).relativeFilePath(QString::fromUtf8(line)));
        }
    }
    reported.sort();
    QVERIFY(reported.size() < 393 * 6);
    QCOMPARE(filesUnder(path("out")), reported);
    QVERIFY(process.readAllStandardError().contains("oftool render: stopped by signal 15 before "));
}

void tst_OftoolBatch::replacesLinkedFileKeepingPermissions()
{
    QVERIFY(writeAll(path("real.of"), "old\n"));
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path("real.of"), permissions));
    QVERIFY(QFile::link(path("real.of"), path("link.of")));
    QCOMPARE(render({"--chars", "65", "--size", "8", "--output", "link.of"}).status, 0);
    QCOMPARE(render({"--chars", "65", "--size", "8", "--output", "fresh.of"}).status, 0);
    QVERIFY(QFileInfo(path("link.of")).isSymLink());
    QVERIFY(readAll(path("real.of")) == readAll(path("fresh.of")));
    QCOMPARE(QFile::permissions(path("real.of")) & 0x7077, permissions);
}

void tst_OftoolBatch::mergePicturesOfFonts()
{
    QCOMPARE(render({"--family", "DejaVu Sans", "--chars", "65-66", "--size", "9", "--output", "sans.of"}).status, 0);
    QCOMPARE(render({"--family", "DejaVu Serif", "--chars", "66-67", "--size", "9", "--output", "serif.of"}).status, 0);
    // B comes first from sans.of, with its anchor lines; C only from serif.of, with its own.
    for (const char *letter : {"B", "C"}) {
        QCOMPARE(runOftool({"anchor", "serif.of", "--letter", letter, "--baseline", "7", "--rightline", "8"}, m_dir->path()).status, 0);
    }
    const OftoolRun merge = runOftool({"merge", "sans.of", "serif.of", "-o", "mix.of"}, m_dir->path());
    QCOMPARE(merge.status, 0);
    QCOMPARE(merge.out, QByteArray("mix.of: 4 letters, 6 pictures from 2 files\n"));

    const std::unique_ptr<Models::Font> mix(IOManager::FontFileManager::fontFromFile(path("mix.of")));
    const std::unique_ptr<Models::Font> sans(IOManager::FontFileManager::fontFromFile(path("sans.of")));
    const std::unique_ptr<Models::Font> serif(IOManager::FontFileManager::fontFromFile(path("serif.of")));
    QVERIFY(mix && sans && serif);
    QCOMPARE(mix->getName(), QStringLiteral("mix.of"));
    const QList<const Models::Font *> sources{sans.get(), serif.get()};
    for (const QString &value : {QStringLiteral(" "), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}) {
        const Models::Character *letter = mix->getCharacter(value);
        QVERIFY2(letter, qPrintable(value));
        QList<QImage> expected;
        for (const Models::Font *source : sources) {
            if (const Models::Character *own = source->getCharacter(value)) {
                expected.append(own->getPictures().first()->getImage());
            }
        }
        QCOMPARE(letter->pictureCount(), expected.size());
        for (int id = 0; id < expected.size(); ++id) {
            QCOMPARE(letter->getPictures().at(id)->getId(), id);
            QVERIFY(letter->getPictures().at(id)->getImage() == expected.at(id));
        }
        QCOMPARE(letter->getBaseLine(), value == QLatin1String("C") ? 7.0 : 100.0);
    }
    const OftoolRun info = runOftool({"info", "--json", "mix.of"}, m_dir->path());
    QCOMPARE(QJsonDocument::fromJson(info.out).object().value("picturesPerLetter").toObject(),
             (QJsonObject{{"min", 1}, {"max", 2}}));


    // Rendered straight into one file, the fonts give the merge of their own files.
    const QStringList both{"--family", "DejaVu Sans", "--family", "DejaVu Serif", "--chars", "65-67", "--size", "9"};
    QCOMPARE(render(both + QStringList{"--output", "parts/"}).status, 0);
    QCOMPARE(runOftool({"merge", "parts/DejaVu_Sans__Book__9.of", "parts/DejaVu_Serif__Book__9.of", "-o", "merged.of", "--name",
                        "both.of"}, m_dir->path()).status, 0);
    QCOMPARE(render(both + QStringList{"--into", "both.of"}).status, 0);
    QVERIFY(readAll(path("both.of")) == readAll(path("merged.of")));
}

void tst_OftoolBatch::mergeRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");
    QTest::newRow("no output") << QStringList{"merge", "a.of"} << 1 << "oftool merge: no output file given (-o FILE)";
    QTest::newRow("missing input") << QStringList{"merge", "a.of", "none.of", "-o", "mix.of"} << 2
                                   << "oftool merge: none.of: no such file";
    QTest::newRow("into, two sizes") << QStringList{"render", "--size", "8,9", "--into", "mix.of"} << 1
                                     << "oftool render: --into takes the fonts at one size; 2 are given";
    QTest::newRow("into and output") << QStringList{"render", "--into", "mix.of", "--output", "x/"} << 1
                                     << "oftool render: --into writes one file, so --output and --manifest do not go with it";
}

void tst_OftoolBatch::mergeRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, line);
    QCOMPARE(render({"--chars", "65", "--size", "8", "--output", "a.of"}).status, 0);
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, status);
    QVERIFY2(errLines(run).contains(line), run.err.constData());
    QVERIFY(!QFile::exists(path("mix.of")));
}

void tst_OftoolBatch::outputNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");
    const QString e = QString::fromUtf8("\xc3\xa9");
    const QString smile = QString::fromUcs4(U"\U0001F600");
    QTest::newRow("ordinary") << "DejaVu_Sans" << "DejaVu_Sans";
    QTest::newRow("up and out") << "../../victim" << "_._.._victim";
    QTest::newRow("absolute") << "/etc/passwd" << "_etc_passwd";
    QTest::newRow("hidden") << ".hidden" << "_hidden";
    QTest::newRow("dot dot") << ".." << "_.";
    QTest::newRow("newline, backslash, DEL, C1") << QString::fromUtf8("a\nb\\c\x7f\xc2\x85") << "a_b_c__";
    QTest::newRow("unpaired surrogate") << QString(QChar(0xD800)) + "x" << "_x";
    QTest::newRow("400 bytes") << QString(400, QLatin1Char('x')) << QString(255, QLatin1Char('x'));
    QTest::newRow("two-byte letters over 255 bytes") << e.repeated(200) << e.repeated(127);
    QTest::newRow("four-byte letters over 255 bytes") << smile.repeated(70) << smile.repeated(63);
}

void tst_OftoolBatch::outputNames()
{
    QFETCH(QString, name);
    QFETCH(QString, safe);
    QCOMPARE(OutputName::component(name), safe);
}

void tst_OftoolBatch::hostileFamilies_data()
{
    QTest::addColumn<QByteArray>("family"); // as long as "DejaVu Serif", which it replaces
    QTest::addColumn<QString>("file");
    QTest::newRow("up and out") << QByteArray("../../victim") << "_._.._victim__Book__10.of";
    QTest::newRow("hidden") << QByteArray(".hidden_font") << "_hidden_font__Book__10.of";
}

void tst_OftoolBatch::hostileFamilies()
{
    QFETCH(QByteArray, family);
    QFETCH(QString, file);
    QVERIFY(QDir().mkpath(path("a/b")) && QDir().mkpath(path("fonts")));
    QVERIFY(writeAll(path("fonts/hostile.ttf"), renamedStyle(readAll(dejaVuDirectory + "DejaVuSerif.ttf"), "DejaVu Serif", family, 400)));
    const OftoolRun run = render({"--font-dir", "fonts", "--chars", "65", "--size", "10", "--metrics", "--output", "a/b/"});
    QCOMPARE(run.status, 0);
    QCOMPARE(filesUnder(m_dir->path()), QStringList({"a/b/" + file, "a/b/" + file + ".metrics.json", "fonts/hostile.ttf"}));
}

void tst_OftoolBatch::collectionOfOneFamily_data()
{
    QTest::addColumn<QStringList>("output");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("a file per face") << QStringList{"--output", "out/"}
                                     << QStringList{"oftool render: wrote 2 of 2 files; 0 skipped, 0 failed, 0 incomplete"};
    QTest::newRow("--into") << QStringList{"--into", "out/mix.of"}
                            << QStringList{"oftool render: put 2 of 2 fonts into out/mix.of; 0 skipped, 0 failed, 0 incomplete"};
    QTest::newRow("--into, failing in one line") << QStringList{"--into", "missing/mix.of"}
        << QStringList{"oftool render: cannot write missing/mix.of: No such file or directory",
                       "oftool render: put 0 of 2 fonts into missing/mix.of; 0 skipped, 2 failed, 0 incomplete"};
}

void tst_OftoolBatch::collectionOfOneFamily()
{
    QFETCH(QStringList, output);
    QFETCH(QStringList, lines);
    QVERIFY(QDir().mkpath(path("out")) && QDir().mkpath(path("fonts")));
    QVERIFY(writeAll(path("fonts/sans.ttc"), collection({readAll(dejaVuDirectory + "DejaVuSans.ttf"), readAll(dejaVuDirectory + "DejaVuSans-Bold.ttf")})));
    const OftoolRun run = render(QStringList{"--font-file", "fonts/sans.ttc", "--chars", "65", "--size", "10"} + output);
    QCOMPARE(run.status, lines.size() == 1 ? 0 : 2);
    QCOMPARE(errLines(run).filter(QRegularExpression(QStringLiteral("^(oftool render: |Warning)"))), lines);
    if (lines.size() > 1) {
        return;
    }
    if (output.first() == "--output") {
        QCOMPARE(filesUnder(path("out")), QStringList({"DejaVu_Sans__Bold__10.of", "DejaVu_Sans__Book__10.of"}));
    } else {
        const std::unique_ptr<Models::Font> mix(IOManager::FontFileManager::fontFromFile(path("out/mix.of")));
        QVERIFY(mix);
        QCOMPARE(mix->getCharacters().value("A")->getPictures().size(), 2);
    }
}

void tst_OftoolBatch::outputsNamingInputs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line"); // %1 is the working directory
    QTest::newRow("render over its font file") << QStringList{"render", "--font-file", "in.ttf", "--output", "in.ttf"}
        << "oftool render: --output \"%1/in.ttf\" is the same file as the font file \"in.ttf\"";
    QTest::newRow("--into its font file") << QStringList{"render", "--font-file", "in.ttf", "--into", "in.ttf"}
        << "oftool render: --into \"in.ttf\" is the same file as the font file \"in.ttf\"";
    QTest::newRow("manifest over the chars file")
        << QStringList{"render", "--chars-file", "chars.txt", "--output", "out/", "--manifest", "chars.txt"}
        << "oftool render: --manifest \"chars.txt\" is the same file as --chars-file \"chars.txt\"";
    QTest::newRow("manifest over a font of the run")
        << QStringList{"render", "--output", "out/", "--metrics", "--manifest", "out/DejaVu_Sans__Book__8.of.metrics.json"}
        << "oftool render: --manifest \"out/DejaVu_Sans__Book__8.of.metrics.json\" is the same file as --output "
           "\"%1/out/DejaVu_Sans__Book__8.of.metrics.json\"";
    QTest::newRow("convert onto itself") << QStringList{"convert", "a.of", "a.of", "--to", "bdf"}
                                         << "oftool convert: OUT \"a.of\" is the same file as IN \"a.of\"";
    QTest::newRow("convert through a link") << QStringList{"convert", "a.of", "link.bdf"}
                                            << "oftool convert: OUT \"link.bdf\" is the same file as IN \"a.of\"";
    QTest::newRow("preview onto itself") << QStringList{"preview", "a.of", "-o", "a.of"}
                                         << "oftool preview: -o \"a.of\" is the same file as FILE \"a.of\"";
    QTest::newRow("merge into its first input") << QStringList{"merge", "a.of", "a.of", "-o", "a.of"} << QString();
}

void tst_OftoolBatch::outputsNamingInputs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    if (arguments.first() == "render") {
        arguments += QStringList{"--chars", "65", "--size", "8"};
    }
    QCOMPARE(render({"--chars", "65", "--size", "8", "--output", "a.of"}).status, 0);
    QVERIFY(QFile::copy(dejaVuDirectory + "DejaVuSans.ttf", path("in.ttf")));
    QVERIFY(writeAll(path("chars.txt"), "AB"));
    QVERIFY(QFile::link("a.of", path("link.bdf")));
    const QByteArray before = readAll(path("a.of"));
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, line.isEmpty() ? 0 : 1);
    if (line.isEmpty()) {
        return;
    }
    QCOMPARE(errLines(run).value(0), line.replace(QStringLiteral("%1"), m_dir->path()));
    QVERIFY(readAll(path("a.of")) == before);
    QVERIFY(readAll(path("in.ttf")) == readAll(dejaVuDirectory + "DejaVuSans.ttf"));
    QCOMPARE(readAll(path("chars.txt")), QByteArray("AB"));
    QVERIFY(!QFileInfo::exists(path("out/DejaVu_Sans__Book__8.of")));
}

void tst_OftoolBatch::fontBeyondPathMax()
{
    // 25 folders of 200 bytes: the font at the bottom lies beyond PATH_MAX (4096).
    const QByteArray folder(200, 'd');
    QVERIFY(QDir().mkpath(path("fonts")));
    int at = open(QFile::encodeName(path("fonts")).constData(), O_RDONLY | O_DIRECTORY);
    QByteArray tooLong = "fonts";
    for (int depth = 0; depth < 25; ++depth) {
        QVERIFY(mkdirat(at, folder.constData(), 0700) == 0);
        const int deeper = openat(at, folder.constData(), O_RDONLY | O_DIRECTORY);
        close(at);
        at = deeper;
        if (tooLong.size() < 4096) {
            tooLong += '/' + folder;
        }
    }
    const QByteArray font = readAll(dejaVuDirectory + "DejaVuSans.ttf");
    const int file = openat(at, "deep.ttf", O_WRONLY | O_CREAT, 0600);
    QVERIFY(file >= 0 && write(file, font.constData(), size_t(font.size())) == font.size());
    close(file);
    close(at);
    const OftoolRun run = render({"--font-dir", "fonts", "--output", "out/"});
    removeTree(AT_FDCWD, QFile::encodeName(path("fonts")).constData());
    QCOMPARE(run.status, 2);
    QCOMPARE(errLines(run).value(0), QStringLiteral("oftool render: %1...%2 (a path of %3 bytes): cannot look at it: File name too long")
                                         .arg(QString::fromLatin1(tooLong.left(40)), QString::fromLatin1(tooLong.right(80)))
                                         .arg(tooLong.size()));
}

void tst_OftoolBatch::progressFitsTerminal()
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty()) {
        QSKIP("script (util-linux) is not installed");
    }
    // A terminal of no size, as script makes one without a terminal of its own: $COLUMNS says.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("COLUMNS"), QStringLiteral("40"));
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.setProcessEnvironment(environment);
    process.start(script, {"-qec", QStringLiteral("'%1' render --chars 65 --size 8,9 -j 1 --output out/").arg(OFTOOL_PATH), "/dev/null"});
    QVERIFY(process.waitForFinished(120000));
    int bars = 0;
    for (QByteArray piece : process.readAllStandardOutput().split('\r')) {
        if (piece.startsWith("\033[K[")) {
            piece = piece.mid(3, piece.indexOf('\n') < 0 ? -1 : piece.indexOf('\n') - 3);
            QVERIFY2(piece.size() <= 39, piece.constData());
            ++bars;
        }
    }
    QCOMPARE(bars, 2);
}

QTEST_MAIN(tst_OftoolBatch)
#include "tst_oftoolbatch.moc"
