#include "oftoolrun.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

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

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList fileNames() const { return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
    void makeInputs();

    std::unique_ptr<QTemporaryDir> m_dir;
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
}

void tst_OftoolFailures::specialTargets()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, fifo);
    makeInputs();
    QCOMPARE(mkfifo(QFile::encodeName(path(fifo)).constData(), 0600), 0);
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, 2);
    QVERIFY(isFifo(path(fifo)));
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

QTEST_GUILESS_MAIN(tst_OftoolFailures)
#include "tst_oftoolfailures.moc"
