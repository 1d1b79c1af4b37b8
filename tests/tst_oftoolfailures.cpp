#include "oftoolrun.h"
#include "testfiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

/*
 * oftool under hostile conditions: a full disk, a killed process, writers racing for one path,
 * special files as targets. Whatever happens, a target holds either its old bytes or a complete
 * new file, and a failure is never reported as success.
 */
class tst_OftoolFailures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void fullDisk_data();
    void fullDisk();
    void specialTargets_data();
    void specialTargets();
    void killedWhileReplacing_data();
    void killedWhileReplacing();
    void concurrentWriters();
    void lostStandardOutput();
    void setsUnderLimit_data();
    void setsUnderLimit();
    void killedBatch_data();
    void killedBatch();
    void killedAtlas_data();
    void killedAtlas();
    void leftoversRemoved_data();
    void leftoversRemoved();
    void targetsAlike_data();
    void targetsAlike();
    void reasons_data();
    void reasons();
    void composeWithoutUnnamedFiles();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList fileNames() const { return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
    void makeInputs();
    void copyShared(const QString &name, const std::function<void(const QString &dir)> &make);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::map<QString, std::unique_ptr<QTemporaryDir>> m_shared;
};

namespace {

const QByteArray oldBytes = "old bytes that must survive\n";

// Runs oftool with writes limited to limit bytes and SIGXFSZ ignored, as on a disk with that much room.
OftoolRun runLimited(qint64 limit, const QStringList &arguments, const QString &directory)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(QStringLiteral("/bin/sh"),
                  QStringList{QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; exec prlimit --fsize=\"$0\" -- \"$@\""),
                              QString::number(limit), QStringLiteral(OFTOOL_PATH)}
                      + arguments);
    OftoolRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
        run.err = process.readAllStandardError();
    }
    return run;
}

bool isFifo(const QString &path)
{
    struct stat info;
    return stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// oftool's environment on a file system without unnamed temporary files.
QProcessEnvironment withoutTmpfile()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(NOTMPFILE_PATH));
    // The library is preloaded before a sanitizer's runtime.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS"))
                                                           + QStringLiteral(":verify_asan_link_order=0"));
    return environment;
}

// Why the metrics file beside the OF font file fontPath does not record its size and hash; empty when it does.
QString pairProblem(const QString &fontPath)
{
    const QJsonObject metrics = QJsonDocument::fromJson(readAll(fontPath + ".metrics.json")).object();
    const QByteArray font = readAll(fontPath);
    if (metrics.value("fontBytes").toDouble() != font.size()) {
        return fontPath + ": size differs";
    }
    if (metrics.value("fontSha256").toString().toLatin1() != QCryptographicHash::hash(font, QCryptographicHash::Sha256).toHex()) {
        return fontPath + ": hash differs";
    }
    return QString();
}

// Every file of a directory, by name.
QHash<QString, QByteArray> contents(const QString &directory)
{
    QHash<QString, QByteArray> files;
    for (const QString &name : QDir(directory).entryList(QDir::Files | QDir::Hidden)) {
        files.insert(name, readAll(QDir(directory).filePath(name)));
    }
    return files;
}

// The inode of every file of a directory, by name.
QHash<QString, ino_t> inodesOf(const QString &directory)
{
    QHash<QString, ino_t> inodes;
    for (const QString &name : QDir(directory).entryList(QDir::Files)) {
        struct stat status = {};
        if (stat(QFile::encodeName(QDir(directory).filePath(name)).constData(), &status) == 0) {
            inodes.insert(name, status.st_ino);
        }
    }
    return inodes;
}

/*
 * Whether count files of a directory that held inodes have been replaced since, or, when replaced is
 * false, count files been added (staged files with a name).
 */
bool filesChanged(const QString &directory, const QHash<QString, ino_t> &inodes, bool replaced, int count)
{
    if (!replaced) {
        return QDir(directory).entryList(QDir::Files | QDir::Hidden).size() - inodes.size() >= count;
    }
    const QHash<QString, ino_t> now = inodesOf(directory);
    int seen = 0;
    for (auto inode = inodes.cbegin(); inode != inodes.cend(); ++inode) {
        seen += now.value(inode.key(), inode.value()) != inode.value();
    }
    return seen >= count;
}

// Runs oftool and kills it once what filesChanged() waits for has come, or once it ends by itself.
void killWhenChanged(const QStringList &arguments, const QString &workingDirectory, const QProcessEnvironment &environment,
                     const QString &watched, bool replaced, int count)
{
    const QHash<QString, ino_t> inodes = inodesOf(watched);
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(OFTOOL_PATH), arguments);
    const QDeadlineTimer deadline(120000);
    process.waitForStarted();
    while (!filesChanged(watched, inodes, replaced, count) && !process.waitForFinished(1) && !deadline.hasExpired()) {
    }
    process.kill();
    process.waitForFinished();
}

} // namespace

void tst_OftoolFailures::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_OftoolFailures::makeInputs()
{
    QCOMPARE(runOftool({"render", "--size", "12", "--chars", "65-70", "--output", "in.of"}, m_dir->path()).status, 0);
    QVERIFY(QDir(m_dir->path()).mkdir("glyphs"));
    QImage glyph(6, 6, QImage::Format_RGB32);
    glyph.fill(Qt::black);
    QVERIFY(glyph.save(path("glyphs/x_A_0.png")));
}

// Inputs alike for every row of a test are made once, by make() in a folder of their own, and copied into
// each row's folder: the rows of the kill tests would otherwise spend most of their time making them.
void tst_OftoolFailures::copyShared(const QString &name, const std::function<void(const QString &dir)> &make)
{
    std::unique_ptr<QTemporaryDir> &shared = m_shared[name];
    if (!shared) {
        shared.reset(new QTemporaryDir);
        QVERIFY(shared->isValid());
        make(shared->path());
        if (QTest::currentTestFailed()) {
            shared.reset();
            return;
        }
    }
    QDirIterator entries(shared->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString from = entries.next();
        const QString to = m_dir->filePath(QDir(shared->path()).relativeFilePath(from));
        QVERIFY2(entries.fileInfo().isDir() ? QDir().mkpath(to) : QFile::copy(from, to), qPrintable(to));
    }
}

void tst_OftoolFailures::fullDisk_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("oneByteShort"); // only the last flush fails; otherwise half the file fits
    const QStringList render{"render", "--size", "16", "--output", "out.of"};
    const QStringList anchor{"anchor", "out.of", "--letter", "A", "--baseline", "5", "--rightline", "6"};
    const QStringList import{"import", "glyphs", "-o", "out.of"};
    const QStringList preview{"preview", "in.of", "-o", "out.png"};
    for (const bool shortByOne : {true, false}) {
        const char *how = shortByOne ? "one byte short" : "half";
        QTest::addRow("render, %s", how) << render << "out.of" << shortByOne;
        QTest::addRow("anchor, %s", how) << anchor << "out.of" << shortByOne;
        QTest::addRow("import, %s", how) << import << "out.of" << shortByOne;
        QTest::addRow("preview, %s", how) << preview << "out.png" << shortByOne;
    }
}

void tst_OftoolFailures::fullDisk()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, target);
    QFETCH(bool, oneByteShort);
    makeInputs();
    // The anchor update rewrites a font in place, so its target starts as a copy of one.
    const bool inPlace = arguments.first() == QLatin1String("anchor");
    const QByteArray before = inPlace ? readAll(path("in.of")) : oldBytes;
    QVERIFY(writeAll(path(target), before));
    QCOMPARE(runOftool(arguments, m_dir->path()).status, 0);
    const qint64 size = QFileInfo(path(target)).size();
    QVERIFY(writeAll(path(target), before));
    const QStringList names = fileNames();

    const OftoolRun run = runLimited(oneByteShort ? size - 1 : size / 2, arguments, m_dir->path());
    QCOMPARE(run.status, 2);
    QVERIFY2(!run.err.isEmpty(), "a failure must say so");
    QVERIFY(readAll(path(target)) == before);
    QCOMPARE(fileNames(), names);
}

void tst_OftoolFailures::specialTargets_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fifo");
    QTest::newRow("render") << QStringList{"render", "--size", "8", "--output", "f.of"} << "f.of";
    QTest::newRow("import") << QStringList{"import", "glyphs", "-o", "f.of"} << "f.of";
    QTest::newRow("preview") << QStringList{"preview", "in.of", "-o", "f.png"} << "f.png";
    // The page is not written either.
    QTest::newRow("atlas") << QStringList{"convert", "in.of", "f.fnt"} << "f.fnt";
    QTest::newRow("atlas, json") << QStringList{"convert", "in.of", "f.fnt", "--json"} << "f.json";
}

void tst_OftoolFailures::specialTargets()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, fifo);
    makeInputs();
    QCOMPARE(mkfifo(QFile::encodeName(path(fifo)).constData(), 0600), 0);
    const QStringList names = fileNames();
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, 2);
    QVERIFY(isFifo(path(fifo)));
    QCOMPARE(fileNames(), names);
}

void tst_OftoolFailures::killedWhileReplacing_data()
{
    QTest::addColumn<int>("delay");
    for (const int delay : {0, 40, 120, 300}) {
        QTest::addRow("killed after %d ms", delay) << delay;
    }
}

void tst_OftoolFailures::killedWhileReplacing()
{
    QFETCH(int, delay);
    const QStringList arguments{"render", "--size", "160", "--output", "big.of"};
    QCOMPARE(runOftool(arguments, m_dir->path()).status, 0);
    const QByteArray complete = readAll(path("big.of"));
    QVERIFY(writeAll(path("big.of"), oldBytes));

    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(OFTOOL_PATH), arguments);
    QVERIFY(process.waitForStarted());
    // The moment only varies where the kill lands; what is checked holds for every moment.
    if (delay > 0) {
        QTest::qSleep(delay);
    }
    process.kill();
    QVERIFY(process.waitForFinished());

    const QByteArray after = readAll(path("big.of"));
    QVERIFY2(after == oldBytes || after == complete, "the file is neither the old one nor the whole new one");
    QCOMPARE(fileNames(), QStringList{"big.of"});
}

void tst_OftoolFailures::concurrentWriters()
{
    const QList<int> sizes{20, 24, 28, 32};
    QList<QByteArray> complete;
    for (const int size : sizes) {
        const QString name = QStringLiteral("ref%1.of").arg(size);
        QCOMPARE(runOftool({"render", "--size", QString::number(size), "--output", name}, m_dir->path()).status, 0);
        complete.append(readAll(path(name)));
        QVERIFY(QFile::remove(path(name)));
    }
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const int size : sizes) {
        writers.emplace_back(new QProcess);
        writers.back()->setWorkingDirectory(m_dir->path());
        writers.back()->start(QStringLiteral(OFTOOL_PATH),
                              {"render", "--size", QString::number(size), "--output", "shared.of"});
    }
    for (const auto &writer : writers) {
        QVERIFY(writer->waitForFinished(120000));
        QCOMPARE(writer->exitCode(), 0);
    }
    QVERIFY2(complete.contains(readAll(path("shared.of"))), "the file is not one writer's whole output");
    QCOMPARE(fileNames(), QStringList{"shared.of"});
}

void tst_OftoolFailures::lostStandardOutput()
{
    makeInputs();
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral("/bin/sh"), {"-c", "exec \"$0\" info in.of > /dev/full", QStringLiteral(OFTOOL_PATH)});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("oftool: cannot write to standard output"));
}

void tst_OftoolFailures::setsUnderLimit_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<QString>("over"); // the target the limit is one byte short of
    const QStringList pair{"pair.of", "pair.of.metrics.json"};
    const QStringList atlas{"atlas.fnt", "atlas.png"};
    QTest::newRow("font and metrics, metrics over")
        << QStringList{"render", "--px", "4", "--chars", "33-126", "--metrics", "--output", "pair.of"} << pair << "pair.of.metrics.json";
    QTest::newRow("font and metrics, font over")
        << QStringList{"render", "--size", "40", "--chars", "65-66", "--metrics", "--output", "pair.of"} << pair << "pair.of";
    // Many small glyphs make a long descriptor and a small page, two large ones the opposite.
    QTest::newRow("atlas, fnt over") << QStringList{"convert", "many.of", "atlas.fnt"} << atlas << "atlas.fnt";
    QTest::newRow("atlas, png over") << QStringList{"convert", "big.of", "atlas.fnt"} << atlas << "atlas.png";
    QTest::newRow("atlas, json over") << QStringList{"convert", "many.of", "atlas.fnt", "--json"} << (atlas + QStringList{"atlas.json"})
                                      << "atlas.json";
}

void tst_OftoolFailures::setsUnderLimit()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, targets);
    QFETCH(QString, over);
    if (arguments.first() == "convert") {
        QCOMPARE(runOftool({"render", "--px", "4", "--chars", "33-126", "--output", "many.of"}, m_dir->path()).status, 0);
        QCOMPARE(runOftool({"render", "--size", "60", "--chars", "65-66", "--output", "big.of"}, m_dir->path()).status, 0);
    }
    QCOMPARE(runOftool(arguments, m_dir->path()).status, 0);
    const qint64 limit = QFileInfo(path(over)).size() - 1;
    bool otherFits = false; // else the row would not tell a set written together from files written in turn
    for (const QString &target : targets) {
        otherFits = otherFits || (target != over && QFileInfo(path(target)).size() <= limit);
        QVERIFY(writeAll(path(target), oldBytes));
    }
    QVERIFY2(otherFits, "no other file of the set fits the limit");
    const QStringList names = fileNames();

    const OftoolRun run = runLimited(limit, arguments, m_dir->path());
    QCOMPARE(run.status, 2);
    const QString named = arguments.first() == "render" ? path(over) : over;
    QVERIFY2(run.err.split('\n').contains(QStringLiteral("oftool %1: cannot write %2: File too large").arg(arguments.first(), named).toUtf8()),
             run.err.constData());
    for (const QString &target : targets) {
        QVERIFY2(readAll(path(target)) == oldBytes, qPrintable(target));
    }
    QCOMPARE(fileNames(), names);
}

void tst_OftoolFailures::killedBatch_data()
{
    QTest::addColumn<bool>("unnamed");   // whether the file system has unnamed temporary files
    QTest::addColumn<bool>("replaced");  // the kill comes once count targets are replaced, else once count files are staged
    QTest::addColumn<int>("count");
    QTest::newRow("unnamed files, 1 replaced") << true << true << 1;
    QTest::newRow("unnamed files, 41 replaced") << true << true << 41;
    QTest::newRow("named files, 5 staged") << false << false << 5;
    QTest::newRow("named files, 1 replaced") << false << true << 1;
    QTest::newRow("named files, 41 replaced") << false << true << 41;
}

// A batch of font and metrics pairs killed at a moment given by what the directory holds, then run again.
void tst_OftoolFailures::killedBatch()
{
    QFETCH(bool, unnamed);
    QFETCH(bool, replaced);
    QFETCH(int, count);
    const QProcessEnvironment environment = unnamed ? QProcessEnvironment::systemEnvironment() : withoutTmpfile();
    const QStringList batch{"render", "--px", "6-45", "--metrics", "--output"};
    copyShared("batches", [&](const QString &dir) {
        QVERIFY(QDir(dir).mkdir("out") && QDir(dir).mkdir("new"));
        QCOMPARE(runOftool(batch + QStringList{"out", "--chars", "65-70"}, dir).status, 0);
        QCOMPARE(runOftool(batch + QStringList{"new", "--chars", "65-72"}, dir).status, 0);
    });
    if (QTest::currentTestFailed()) {
        return;
    }
    const QHash<QString, QByteArray> before = contents(path("out"));
    const QHash<QString, QByteArray> after = contents(path("new"));
    QCOMPARE(before.size(), 80);
    killWhenChanged(batch + QStringList{"out", "--chars", "65-72", "-j", "2"}, m_dir->path(), environment, path("out"), replaced, count);

    // Each file old or new and whole; a pair disagrees only where the kill came between its two renames.
    int disagreeing = 0;
    for (auto file = before.cbegin(); file != before.cend(); ++file) {
        const QByteArray now = readAll(path("out/" + file.key()));
        QVERIFY2(now == file.value() || now == after.value(file.key()), qPrintable(file.key()));
        if (file.key().endsWith(".of") && !pairProblem(path("out/" + file.key())).isEmpty()) {
            ++disagreeing;
            QVERIFY(now == after.value(file.key()));
            QVERIFY(readAll(path("out/" + file.key() + ".metrics.json")) == before.value(file.key() + ".metrics.json"));
        }
    }
    QVERIFY(disagreeing <= 1);

    // The next run removes what the killed one left behind.
    QCOMPARE(runOftool(batch + QStringList{"out", "--chars", "65-72"}, m_dir->path(), environment).status, 0);
    QCOMPARE(QDir(path("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QDir(path("new")).entryList(QDir::Files));
    for (const QString &name : QDir(path("out")).entryList({"*.of"})) {
        QCOMPARE(pairProblem(path("out/" + name)), QString());
    }
}

void tst_OftoolFailures::killedAtlas_data()
{
    QTest::addColumn<bool>("unnamed");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<int>("count");
    QTest::newRow("unnamed files, 1 replaced") << true << true << 1;
    QTest::newRow("unnamed files, 2 replaced") << true << true << 2;
    QTest::newRow("named files, 1 staged") << false << false << 1;
    QTest::newRow("named files, 3 staged") << false << false << 3;
    QTest::newRow("named files, 1 replaced") << false << true << 1;
}

// The files of an atlas, killed while written, then written again.
void tst_OftoolFailures::killedAtlas()
{
    QFETCH(bool, unnamed);
    QFETCH(bool, replaced);
    QFETCH(int, count);
    const QProcessEnvironment environment = unnamed ? QProcessEnvironment::systemEnvironment() : withoutTmpfile();
    copyShared("atlases", [](const QString &dir) {
        QVERIFY(QDir(dir).mkdir("out") && QDir(dir).mkdir("new"));
        QCOMPARE(runOftool({"render", "--size", "12", "--output", "small.of"}, dir).status, 0);
        QCOMPARE(runOftool({"render", "--size", "160", "--output", "large.of"}, dir).status, 0);
        QCOMPARE(runOftool({"convert", "small.of", "out/atlas.fnt", "--json"}, dir).status, 0);
        QCOMPARE(runOftool({"convert", "large.of", "new/atlas.fnt", "--json"}, dir).status, 0);
    });
    if (QTest::currentTestFailed()) {
        return;
    }
    const QHash<QString, QByteArray> before = contents(path("out"));
    const QHash<QString, QByteArray> after = contents(path("new"));
    QCOMPARE(before.size(), 3);
    const QStringList convert{"convert", "large.of", "out/atlas.fnt", "--json"};
    killWhenChanged(convert, m_dir->path(), environment, path("out"), replaced, count);

    // Each file old or new and whole, and the .fnt, put in place last, new only beside the new page.
    for (auto file = before.cbegin(); file != before.cend(); ++file) {
        const QByteArray now = readAll(path("out/" + file.key()));
        QVERIFY2(now == file.value() || now == after.value(file.key()), qPrintable(file.key()));
    }
    if (readAll(path("out/atlas.fnt")) == after.value("atlas.fnt")) {
        QVERIFY(readAll(path("out/atlas.png")) == after.value("atlas.png"));
        QVERIFY(readAll(path("out/atlas.json")) == after.value("atlas.json"));
    }
    QCOMPARE(runOftool(convert, m_dir->path(), environment).status, 0);
    QCOMPARE(contents(path("out")), after);
    QCOMPARE(QDir(path("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

void tst_OftoolFailures::leftoversRemoved_data()
{
    // DEAD for the id of a process that is gone, LIVE for this one's, HOST for this machine's name
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<int>("hoursOld");
    QTest::addColumn<bool>("removed");
    QTest::newRow("process gone") << ".out.of.oftool-HOST-DEAD-k3x.part" << false << 0 << true;
    QTest::newRow("process gone, long name") << ".a b.of.metrics.json.oftool-HOST-DEAD-0.part" << false << 0 << true;
    QTest::newRow("process alive") << ".out.of.oftool-HOST-LIVE-k3x.part" << false << 0 << false;
    QTest::newRow("process gone, a directory") << ".out.of.oftool-HOST-DEAD-k3x.part" << true << 0 << false;
    QTest::newRow("an earlier version's, process gone") << ".out.of.oftool-DEAD-k3x.part" << false << 0 << true;
    QTest::newRow("an earlier version's, process alive") << ".out.of.oftool-LIVE-k3x.part" << false << 0 << false;
    QTest::newRow("another machine's") << ".out.of.oftool-node7.cluster-DEAD-k3x.part" << false << 23 << false;
    QTest::newRow("another machine's, over a day old") << ".out.of.oftool-node7.cluster-LIVE-k3x.part" << false << 25 << true;
    QTest::newRow("another name") << ".out.of.k3x.part" << false << 0 << false;
    QTest::newRow("not a process id") << ".out.of.oftool-HOST-12x-k3x.part" << false << 0 << false;
    QTest::newRow("not hidden") << "out.of.oftool-HOST-DEAD-k3x.part" << false << 0 << false;
}

void tst_OftoolFailures::leftoversRemoved()
{
    QFETCH(QString, name);
    QFETCH(bool, directory);
    QFETCH(int, hoursOld);
    QFETCH(bool, removed);
    QString host = QSysInfo::machineHostName().left(40);
    host.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
    name.replace("HOST", host);
    QProcess gone;
    gone.start(QStringLiteral("/bin/sh"), {"-c", "echo $$"});
    QVERIFY(gone.waitForFinished());
    name.replace("DEAD", QString::fromLatin1(gone.readAllStandardOutput().trimmed()));
    name.replace("LIVE", QString::number(getpid()));
    QVERIFY(directory ? QDir(m_dir->path()).mkdir(name) : writeAll(path(name), oldBytes));
    if (hoursOld > 0) {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * hoursOld), QFileDevice::FileModificationTime));
    }
    QCOMPARE(runOftool({"render", "--size", "8", "--chars", "65", "--output", "out.of"}, m_dir->path()).status, 0);
    QCOMPARE(QFileInfo::exists(path(name)), !removed);
}

void tst_OftoolFailures::targetsAlike_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("written");
    const QStringList render{"render", "--size", "8", "--chars", "65", "--output", "out.of"};
    const QStringList import{"import", "glyphs", "-o", "out.of"};
    const QStringList atlas{"convert", "in.of", "out.fnt"};
    const QList<QPair<const char *, QStringList>> commands{{"render", render}, {"import", import}, {"atlas", atlas}};
    for (const auto &command : commands) {
        const QString target = command.first == QByteArray("atlas") ? "out.fnt" : "out.of";
        QTest::addRow("%s, read-only file", command.first) << command.second << target << "read-only" << false;
        QTest::addRow("%s, link to a file", command.first) << command.second << target << "link" << true;
        QTest::addRow("%s, link to a new file", command.first) << command.second << target << "dangling link" << true;
        QTest::addRow("%s, link into a missing directory", command.first) << command.second << target << "link to nowhere" << false;
        QTest::addRow("%s, link to itself", command.first) << command.second << target << "loop" << false;
    }
}

// The staged writer and QSaveFile refuse, and write through, the same targets.
void tst_OftoolFailures::targetsAlike()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, target);
    QFETCH(QString, kind);
    QFETCH(bool, written);
    makeInputs();
    QVERIFY(QDir(m_dir->path()).mkdir("real"));
    const QString real = path(kind == "loop" ? target : kind == "link to nowhere" ? "missing/file" : "real/file");
    if (kind == "read-only") {
        QVERIFY(writeAll(path(target), oldBytes) && QFile::setPermissions(path(target), QFile::ReadOwner | QFile::ReadOther));
    } else {
        QVERIFY(kind != "link" || writeAll(real, oldBytes));
        QVERIFY(QFile::link(real, path(target)));
    }
    // Root may write any file: the program runs as nobody then.
    QStringList command{QStringLiteral(OFTOOL_PATH)};
    if (geteuid() == 0) {
        command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"} + command;
        for (const QString &directory : {m_dir->path(), path("real"), path("glyphs")}) {
            QVERIFY(QFile::setPermissions(directory, QFileDevice::Permissions(0x7777)));
        }
        QVERIFY(kind != "link" || QFile::setPermissions(real, QFileDevice::Permissions(0x6666)));
    }
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(command.first(), command.mid(1) + arguments);
    QVERIFY(process.waitForFinished(120000));
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitCode(), written ? 0 : 2);
    if (kind == "read-only") {
        QCOMPARE(readAll(path(target)), oldBytes);
        // render names its files by their absolute paths.
        const QString named = arguments.first() == "render" ? path(target) : target;
        QVERIFY2(err.split('\n').contains(QStringLiteral("oftool %1: cannot write %2: Permission denied").arg(arguments.first(), named).toUtf8()),
                 err.constData());
        return;
    }
    QCOMPARE(QFileInfo(path(target)).symLinkTarget(), real);
    QCOMPARE(QFileInfo(real).isFile(), written);
    QVERIFY(!written || readAll(real) != oldBytes);
}

void tst_OftoolFailures::reasons_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<qint64>("limit");    // bytes a file may take; 0 for no limit
    QTest::addColumn<bool>("writeOnly"); // run as another user, with "wo" a directory it may only write to
    QTest::addColumn<QString>("line");
    QTest::newRow("merge, file-size limit") << QStringList{"merge", "in.of", "in.of", "-o", "out.of"} << qint64(100) << false
                                            << "oftool merge: cannot write out.of: File too large";
    QTest::newRow("import, file-size limit") << QStringList{"import", "glyphs", "-o", "out.of"} << qint64(100) << false
                                             << "oftool import: cannot write out.of: File too large";
    QTest::newRow("preview, file-size limit") << QStringList{"preview", "in.of", "-o", "out.png"} << qint64(100) << false
                                              << "oftool preview: cannot write out.png: File too large";
    QTest::newRow("merge, control character in the name")
        << QStringList{"merge", "in.of", "-o", "out.of", "--name", "a\x01" "b"} << qint64(0) << false
        << "oftool merge: cannot write out.of: the font holds a character that an OF font file cannot hold (a control character or a lone surrogate)";
    QTest::newRow("atlas, write-only directory") << QStringList{"convert", "in.of", "wo/out.fnt"} << qint64(0) << true
                                                 << "oftool convert: cannot write wo/out.png: Permission denied";
    QTest::newRow("newline in an output path") << QStringList{"convert", "in.of", "a\nb/out.bdf"} << qint64(0) << false
                                               << "oftool convert: cannot write a\\x0Ab/out.bdf: No such file or directory";
    QTest::newRow("tab in an input path") << QStringList{"merge", "in\t.of", "-o", "out.of"} << qint64(0) << false
                                          << "oftool merge: in\\x09.of: no such file";
}

// Each failure says its own reason in one line, a path with control characters escaped.
void tst_OftoolFailures::reasons()
{
    QFETCH(QStringList, arguments);
    QFETCH(qint64, limit);
    QFETCH(bool, writeOnly);
    QFETCH(QString, line);
    makeInputs();
    OftoolRun run;
    if (writeOnly) {
        if (geteuid() != 0) {
            QSKIP("needs root, to run oftool as nobody");
        }
        QVERIFY(QDir(m_dir->path()).mkdir("wo"));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7777)));
        QVERIFY(QFile::setPermissions(path("wo"), QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::WriteGroup
                                                      | QFileDevice::ExeGroup | QFileDevice::WriteOther | QFileDevice::ExeOther));
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        process.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", OFTOOL_PATH} + arguments);
        QVERIFY(process.waitForFinished(120000));
        run.status = process.exitCode();
        run.err = process.readAllStandardError();
    } else {
        // Qt's PNG writer loses its row buffer when libpng fails a write (it jumps past the delete): not ours to
        // report under LeakSanitizer.
        const QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
        if (arguments.first() == QLatin1String("preview")) {
            qputenv("ASAN_OPTIONS", sanitizer + ":detect_leaks=0");
        }
        run = limit > 0 ? runLimited(limit, arguments, m_dir->path()) : runOftool(arguments, m_dir->path());
        if (sanitizer.isNull()) {
            qunsetenv("ASAN_OPTIONS");
        } else {
            qputenv("ASAN_OPTIONS", sanitizer);
        }
    }
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.split('\n').contains(line.toUtf8()), run.err.constData());
}

// Where the file system has no unnamed files, compose stages named ones and leaves none of them behind.
void tst_OftoolFailures::composeWithoutUnnamedFiles()
{
    makeInputs();
    const QStringList compose{"compose", "in.of", "--text-line", "ABC FED", "--text-line", "BAD", "--count", "30", "-j", "2", "--output"};
    QCOMPARE(runOftool(compose + QStringList{"unnamed"}, m_dir->path()).status, 0);
    QCOMPARE(runOftool(compose + QStringList{"named"}, m_dir->path(), withoutTmpfile()).status, 0);
    const QHash<QString, QByteArray> unnamed = contents(path("unnamed"));
    QCOMPARE(unnamed.size(), 2 + 2 * 30);
    QVERIFY(contents(path("named")) == unnamed);
}

QTEST_GUILESS_MAIN(tst_OftoolFailures)
#include "tst_oftoolfailures.moc"
