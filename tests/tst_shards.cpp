#include "oftoolrun.h"
#include "shard.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

// Ten files: one font at ten sizes.
const QStringList tenFiles{QStringLiteral("--size"), QStringLiteral("8-17"), QStringLiteral("--chars"), QStringLiteral("65-70"),
                           QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("--output"), QStringLiteral("out/"),
                           QStringLiteral("--manifest"), QStringLiteral("out/m.jsonl")};

QProcessEnvironment withoutJobArrays()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : environment.keys()) {
        if (name.startsWith(QLatin1String("SLURM_")) || name == QLatin1String("JOB_COMPLETION_INDEX")) {
            environment.remove(name);
        }
    }
    return environment;
}

OftoolRun render(const QString &directory, const QStringList &arguments)
{
    return runOftool(QStringList{QStringLiteral("render")} + arguments, directory, withoutJobArrays());
}

// Every file under directory, by its path inside it, with its bytes.
QMap<QString, QByteArray> filesIn(const QString &directory)
{
    QMap<QString, QByteArray> files;
    const QDir root(directory);
    for (const QString &name : root.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        files.insert(name, readAll(root.filePath(name)));
    }
    return files;
}

QStringList lines(const QByteArray &text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Two fonts (DejaVu Sans at 10 and 12 px) and three lines of text in directory, for compose runs.
bool makeComposeInput(const QString &directory)
{
    const OftoolRun fonts = render(directory, {QStringLiteral("--px"), QStringLiteral("10,12"), QStringLiteral("--chars"),
                                               QStringLiteral("32,97-101"), QStringLiteral("--output"), QStringLiteral("./")});
    return fonts.status == 0 && writeAll(QDir(directory).filePath(QStringLiteral("text.txt")), "abc cab\nbad\ndeed bead ace\n");
}

// Every file of every layout, each sample drawing its font and spacing from its seed; the input from makeComposeInput().
QStringList composeArguments(const QTemporaryDir &input, int count)
{
    return {QStringLiteral("compose"), input.filePath(QStringLiteral("DejaVu_Sans__Book__10px.of")),
            input.filePath(QStringLiteral("DejaVu_Sans__Book__12px.of")), QStringLiteral("--text"),
            input.filePath(QStringLiteral("text.txt")), QStringLiteral("--count"), QString::number(count),
            QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--font-choice"), QStringLiteral("random"),
            QStringLiteral("--letter-spacing-jitter"), QStringLiteral("1"), QStringLiteral("--page-xml"), QStringLiteral("--boxes"),
            QStringLiteral("tesseract"), QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--output")};
}

OftoolRun compose(const QString &directory, const QStringList &arguments)
{
    return runOftool(arguments, directory, withoutJobArrays());
}

ino_t inodeOf(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

} // namespace

class tst_Shards : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resolve_data();
    void resolve();
    void blocks_data();
    void blocks();
    void shardPath_data();
    void shardPath();
    void shardsMakeTheRun_data();
    void shardsMakeTheRun();
    void noIndexInTheEnvironment();
    void mergeRefusesIncomplete_data();
    void mergeRefusesIncomplete();
    void resumeAfterKill();
    void resumeRedoesSpoiled_data();
    void resumeRedoesSpoiled();
    void composeShardsMakeTheRun_data();
    void composeShardsMakeTheRun();
    void composeResumeAfterKill();
    void composeStoppedShardNotMerged();
    void composeResumeRedoesSpoiled_data();
    void composeResumeRedoesSpoiled();
    void composeStopKeepsLinkedFiles();

private:
    QTemporaryDir m_input; // fonts and text for compose
};

void tst_Shards::initTestCase()
{
    QVERIFY2(m_input.isValid(), qPrintable(m_input.errorString()));
    QVERIFY(makeComposeInput(m_input.path()));
}

void tst_Shards::resolve_data()
{
    QTest::addColumn<QString>("shard");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("expected"); // "I/N", "-" for no shards, or the error
    const QString none;
    const QString autoShard = QStringLiteral("auto");
    const QStringList slurm{QStringLiteral("SLURM_ARRAY_TASK_ID=6"), QStringLiteral("SLURM_ARRAY_TASK_MIN=4"),
                            QStringLiteral("SLURM_ARRAY_TASK_MAX=7"), QStringLiteral("SLURM_ARRAY_TASK_COUNT=4")};

    QTest::newRow("nothing asked") << none << none << none << slurm << "-";
    QTest::newRow("I/N") << "2/7" << none << none << slurm << "2/7";
    QTest::newRow("index and count") << none << "0" << "1" << QStringList() << "0/1";
    QTest::newRow("slurm") << autoShard << none << none << slurm << "2/4";
    QTest::newRow("slurm, count only") << none << none << "4" << slurm << "2/4";
    QTest::newRow("slurm in steps")
        << autoShard << none << none
        << QStringList{"SLURM_ARRAY_TASK_ID=10", "SLURM_ARRAY_TASK_MIN=0", "SLURM_ARRAY_TASK_STEP=5", "SLURM_ARRAY_TASK_COUNT=3"}
        << "2/3";
    QTest::newRow("slurm beats kubernetes") << autoShard << none << none << (slurm + QStringList{"JOB_COMPLETION_INDEX=0"}) << "2/4";
    QTest::newRow("kubernetes") << none << none << "16" << QStringList{"JOB_COMPLETION_INDEX=15"} << "15/16";
    QTest::newRow("kubernetes, auto") << autoShard << none << "16" << QStringList{"JOB_COMPLETION_INDEX=3"} << "3/16";

    QTest::newRow("slurm count at odds") << autoShard << none << "8" << slurm
                                         << "--shard-count 8 does not match SLURM_ARRAY_TASK_COUNT 4";
    QTest::newRow("slurm list with gaps")
        << autoShard << none << none
        << QStringList{"SLURM_ARRAY_TASK_ID=3", "SLURM_ARRAY_TASK_MIN=1", "SLURM_ARRAY_TASK_MAX=8", "SLURM_ARRAY_TASK_COUNT=3"}
        << "SLURM_ARRAY_TASK_COUNT 3 does not match the array from SLURM_ARRAY_TASK_MIN 1 to SLURM_ARRAY_TASK_MAX 8 in "
           "steps of 1; give the array as one range, such as --array=0-15";
    QTest::newRow("slurm id beyond the array")
        << autoShard << none << none
        << QStringList{"SLURM_ARRAY_TASK_ID=4", "SLURM_ARRAY_TASK_MIN=0", "SLURM_ARRAY_TASK_COUNT=4"}
        << "SLURM_ARRAY_TASK_ID 4 is not one of the SLURM_ARRAY_TASK_COUNT 4 tasks from SLURM_ARRAY_TASK_MIN 0 in steps of 1";
    QTest::newRow("slurm without min") << autoShard << none << none
                                       << QStringList{"SLURM_ARRAY_TASK_ID=4", "SLURM_ARRAY_TASK_COUNT=4"}
                                       << "SLURM_ARRAY_TASK_MIN is not set";
    QTest::newRow("slurm count not a number")
        << autoShard << none << none
        << QStringList{"SLURM_ARRAY_TASK_ID=0", "SLURM_ARRAY_TASK_MIN=0", "SLURM_ARRAY_TASK_COUNT=-4"}
        << "SLURM_ARRAY_TASK_COUNT: \"-4\" is not a number";
    QTest::newRow("kubernetes without count") << autoShard << none << none << QStringList{"JOB_COMPLETION_INDEX=3"}
                                              << "JOB_COMPLETION_INDEX gives the index only; give the Job's completions as --shard-count";
    QTest::newRow("kubernetes beyond count") << autoShard << none << "16" << QStringList{"JOB_COMPLETION_INDEX=16"}
                                             << "JOB_COMPLETION_INDEX 16 is not below --shard-count 16";
    QTest::newRow("kubernetes not a number") << none << none << "16" << QStringList{"JOB_COMPLETION_INDEX= 3"}
                                             << "JOB_COMPLETION_INDEX: \" 3\" is not a number";
    QTest::newRow("auto, no engine") << autoShard << none << none << QStringList()
                                     << "--shard auto: the shard index comes from SLURM_ARRAY_TASK_ID (Slurm) or "
                                        "JOB_COMPLETION_INDEX (Kubernetes), and neither is set";
    QTest::newRow("count, no engine") << none << none << "4" << QStringList()
                                      << "--shard-count without --shard-index: the shard index comes from SLURM_ARRAY_TASK_ID "
                                         "(Slurm) or JOB_COMPLETION_INDEX (Kubernetes), and neither is set";
    QTest::newRow("index past count") << "3/3" << none << none << QStringList()
                                      << "--shard: \"3/3\" is neither auto nor I/N, a shard index I from 0 to N-1 of N shards "
                                         "(at most 1000000)";
    QTest::newRow("I/N and count") << "1/3" << none << "3" << QStringList()
                                   << "--shard I/N and --shard-index or --shard-count exclude each other";
    QTest::newRow("index alone") << none << "1" << none << slurm << "--shard-index needs --shard-count";
    QTest::newRow("count zero") << none << "0" << "0" << QStringList() << "--shard-count: \"0\" is not a number from 1 to 1000000";
}

void tst_Shards::resolve()
{
    QFETCH(QString, shard);
    QFETCH(QString, index);
    QFETCH(QString, count);
    QFETCH(QStringList, environment);
    QFETCH(QString, expected);
    Shards::Environment variables;
    for (const QString &assignment : environment) {
        variables.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
    }
    Shards::Shard resolved{5, 5};
    QString error;
    const bool ok = Shards::resolve(Shards::Request{shard, index, count}, variables, &resolved, &error);
    QCOMPARE(ok ? (resolved.isSharded() ? Shards::label(resolved) : QStringLiteral("-")) : error, expected);
}

void tst_Shards::blocks_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("1") << 1 << QList<int>{10};
    QTest::newRow("3") << 3 << QList<int>{3, 3, 4};
    QTest::newRow("7") << 7 << QList<int>{1, 1, 2, 1, 2, 1, 2};
    QTest::newRow("12, more than items") << 12 << QList<int>{0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1};
}

// Blocks of ten items one after the other, each item in exactly one.
void tst_Shards::blocks()
{
    QFETCH(int, count);
    QFETCH(QList<int>, sizes);
    QList<int> found;
    qint64 next = 0;
    for (int index = 0; index < count; ++index) {
        const Shards::Range range = Shards::itemsOf(Shards::Shard{index, count}, 10);
        QCOMPARE(range.first, next);
        found.append(int(range.size()));
        next = range.end;
    }
    QCOMPARE(next, qint64(10));
    QCOMPARE(found, sizes);
}

void tst_Shards::shardPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("suffix") << "m.jsonl" << "m.shard-2-of-16.jsonl";
    QTest::newRow("two dots") << "out/set.v2.jsonl" << "out/set.v2.shard-2-of-16.jsonl";
    QTest::newRow("no suffix, dotted folder") << "out.d/manifest" << "out.d/manifest.shard-2-of-16";
    QTest::newRow("leading dot") << "out/.jsonl" << "out/.jsonl.shard-2-of-16";
}

void tst_Shards::shardPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(Shards::shardPath(path, Shards::Shard{2, 16}), expected);
    QCOMPARE(Shards::shardPath(path, Shards::Shard()), path);
    Shards::Shard back;
    QVERIFY(Shards::shardOfPath(expected, path, &back));
    QCOMPARE(Shards::label(back), QStringLiteral("2/16"));
    QVERIFY(!Shards::shardOfPath(QString(expected).replace(QStringLiteral("-2-"), QStringLiteral("-02-")), path, &back));
    QVERIFY(!Shards::shardOfPath(QString(expected).replace(QStringLiteral("-2-"), QStringLiteral("-16-")), path, &back));
    QVERIFY(!Shards::shardOfPath(path, path, &back));
}

void tst_Shards::shardsMakeTheRun_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("1") << 1;
    QTest::newRow("3") << 3;
    QTest::newRow("7") << 7;
    QTest::newRow("12, more than items") << 12;
}

// The files and the merged manifest of shards 0..N-1 are the unsharded run's, byte for byte.
void tst_Shards::shardsMakeTheRun()
{
    QFETCH(int, count);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const OftoolRun whole = render(dir.path(), tenFiles);
    QCOMPARE(whole.status, 0);
    const QMap<QString, QByteArray> expected = filesIn(dir.filePath(QStringLiteral("out")));
    QCOMPARE(expected.size(), 11);
    QVERIFY(QDir(dir.filePath(QStringLiteral("out"))).removeRecursively());

    int empty = 0;
    for (int index = 0; index < count; ++index) {
        const OftoolRun shard = render(dir.path(), tenFiles + QStringList{QStringLiteral("--shard"), QStringLiteral("%1/%2").arg(index).arg(count)});
        QCOMPARE(shard.status, 0);
        const Shards::Range range = Shards::itemsOf(Shards::Shard{index, count}, 10);
        const QString first = lines(shard.err).value(0);
        if (range.size() == 0) {
            ++empty;
            QCOMPARE(first, QStringLiteral("oftool render: shard %1/%2: none of the 10 items planned; nothing to do").arg(index).arg(count));
        } else {
            QCOMPARE(first, QStringLiteral("oftool render: shard %1/%2: items %3 to %4 of the 10 planned")
                                .arg(index).arg(count).arg(range.first).arg(range.end - 1));
        }
        QCOMPARE(lines(shard.out).size(), int(range.size()));
    }
    QCOMPARE(empty, count == 12 ? 2 : 0);
    const OftoolRun merge = runOftool({QStringLiteral("manifest-merge"), QStringLiteral("out/m.jsonl")}, dir.path());
    QCOMPARE(merge.status, 0);
    QCOMPARE(merge.out, QStringLiteral("out/m.jsonl: 10 records from %1 shards\n").arg(count).toUtf8());
    QMap<QString, QByteArray> found = filesIn(dir.filePath(QStringLiteral("out")));
    for (int index = 0; index < count; ++index) {
        QVERIFY(found.remove(QStringLiteral("m.shard-%1-of-%2.jsonl").arg(index).arg(count)) == 1);
    }
    QCOMPARE(found.keys(), expected.keys());
    QVERIFY(found == expected);

    // Without --manifest a shard writes no manifest of its own either.
    QCOMPARE(render(dir.path(), tenFiles.mid(0, 8) + QStringList{QStringLiteral("--shard"), QStringLiteral("0/%1").arg(count)}).status, 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_Shards::noIndexInTheEnvironment()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const OftoolRun run = render(dir.path(), tenFiles + QStringList{QStringLiteral("--shard"), QStringLiteral("auto")});
    QCOMPARE(run.status, 1);
    QCOMPARE(lines(run.err).value(0), QStringLiteral("oftool render: --shard auto: the shard index comes from SLURM_ARRAY_TASK_ID "
                                                     "(Slurm) or JOB_COMPLETION_INDEX (Kubernetes), and neither is set"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
}

void tst_Shards::mergeRefusesIncomplete_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("target"); // files ending in "~" are written without their last newline
    QTest::newRow("whole, out of name order")
        << QStringList{"m.shard-0-of-11.jsonl", "m.shard-1-of-11.jsonl", "m.shard-2-of-11.jsonl", "m.shard-3-of-11.jsonl",
                       "m.shard-4-of-11.jsonl", "m.shard-5-of-11.jsonl", "m.shard-6-of-11.jsonl", "m.shard-7-of-11.jsonl",
                       "m.shard-8-of-11.jsonl", "m.shard-9-of-11.jsonl", "m.shard-10-of-11.jsonl"}
        << QStringList() << "m.jsonl";
    QTest::newRow("a shard missing") << QStringList{"m.shard-0-of-3.jsonl", "m.shard-2-of-3.jsonl"}
                                     << QStringList{"oftool manifest-merge: m.shard-1-of-3.jsonl is missing: shard 1/3 has not run to its end",
                                                    "oftool manifest-merge: nothing written"} << "m.jsonl";
    QTest::newRow("a shard stopped") << QStringList{"m.shard-0-of-2.jsonl", "m.shard-1-of-2.jsonl", "m.shard-1-of-2.jsonl.partial"}
                                     << QStringList{"oftool manifest-merge: m.shard-1-of-2.jsonl.partial is there: shard 1/2 was "
                                                    "stopped; run it again with --resume",
                                                    "oftool manifest-merge: nothing written"} << "m.jsonl";
    QTest::newRow("compose's gt.txt, its shard stopped")
        << QStringList{"gt.shard-0-of-2.txt", "gt.shard-1-of-2.txt", "metadata.shard-1-of-2.jsonl.partial"}
        << QStringList{"oftool manifest-merge: metadata.shard-1-of-2.jsonl.partial is there: shard 1/2 was stopped; run it "
                       "again with --resume",
                       "oftool manifest-merge: nothing written"} << "gt.txt";
    QTest::newRow("a shard cut short") << QStringList{"m.shard-0-of-2.jsonl~", "m.shard-1-of-2.jsonl"}
                                       << QStringList{"oftool manifest-merge: m.shard-0-of-2.jsonl: the last line is cut short",
                                                      "oftool manifest-merge: nothing written"} << "m.jsonl";
    QTest::newRow("two counts") << QStringList{"m.shard-0-of-2.jsonl", "m.shard-1-of-2.jsonl", "m.shard-1-of-3.jsonl"}
                                << QStringList{"oftool manifest-merge: m.shard-0-of-2.jsonl and m.shard-1-of-3.jsonl come from runs "
                                               "of different shard counts",
                                               "oftool manifest-merge: nothing written"} << "m.jsonl";
}

// The shards' records in the order of their index, or nothing at all.
void tst_Shards::mergeRefusesIncomplete()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, messages);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QByteArray expected;
    for (QString name : files) {
        const bool cut = name.endsWith(QLatin1Char('~'));
        name.remove(QLatin1Char('~'));
        const QByteArray record = "{\"file\":\"" + name.toUtf8() + "\"}" + (cut ? "" : "\n");
        QVERIFY(writeAll(dir.filePath(name), record));
        expected += record;
    }
    const OftoolRun merge = runOftool({QStringLiteral("manifest-merge"), target}, dir.path());
    QCOMPARE(lines(merge.err), messages);
    QCOMPARE(merge.status, messages.isEmpty() ? 0 : 2);
    QCOMPARE(QFileInfo::exists(dir.filePath(target)), messages.isEmpty());
    if (messages.isEmpty()) {
        QCOMPARE(readAll(dir.filePath(target)), expected);
    }
}

// A shard stopped without --resume leaves its journal too, so that its lists are not merged as whole.
void tst_Shards::composeStoppedShardNotMerged()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QStringList base{QStringLiteral("compose"), m_input.filePath(QStringLiteral("DejaVu_Sans__Book__10px.of")),
                           QStringLiteral("--text-line"), QStringLiteral("ab"), QStringLiteral("--text-line"),
                           QStringLiteral("a\u2603"), QStringLiteral("--missing"), QStringLiteral("fail"),
                           QStringLiteral("--output"), QStringLiteral("out"), QStringLiteral("--shard")};
    QCOMPARE(compose(dir.path(), base + QStringList{QStringLiteral("0/2")}).status, 0);
    QCOMPARE(compose(dir.path(), base + QStringList{QStringLiteral("1/2")}).status, 3);
    const OftoolRun merge = runOftool({QStringLiteral("manifest-merge"), QStringLiteral("out/metadata.jsonl")}, dir.path());
    QCOMPARE(merge.status, 2);
    QCOMPARE(lines(merge.err).value(0), QStringLiteral("oftool manifest-merge: out/metadata.shard-1-of-2.jsonl.partial is there: "
                                                       "shard 1/2 was stopped; run it again with --resume"));
}

// A run killed outright once its first files are in place: the rerun does the others and only them.
void tst_Shards::resumeAfterKill()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    // 64 small files first, put in place together, then larger ones that take a while.
    const QStringList arguments{QStringLiteral("--size"), QStringLiteral("4-67,150-165"), QStringLiteral("--chars"), QStringLiteral("65-90"),
                                QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("--output"), QStringLiteral("out/"),
                                QStringLiteral("--manifest"), QStringLiteral("out/m.jsonl"), QStringLiteral("--resume")};
    QCOMPARE(render(dir.path(), arguments).status, 0);
    const QMap<QString, QByteArray> expected = filesIn(dir.filePath(QStringLiteral("out")));
    QCOMPARE(expected.size(), 81);
    QVERIFY(QDir(dir.filePath(QStringLiteral("out"))).removeRecursively());

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(withoutJobArrays());
    process.start(QStringLiteral(OFTOOL_PATH), QStringList{QStringLiteral("render")} + arguments);
    QByteArray written;
    while (!written.contains('\n') && process.waitForReadyRead(60000)) {
        written += process.readAllStandardOutput();
    }
    process.kill();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    written += process.readAllStandardOutput();
    const QStringList done = lines(written);
    QVERIFY(!done.isEmpty() && done.size() < 80);
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("out/m.jsonl.partial"))));

    const OftoolRun resumed = render(dir.path(), arguments);
    QCOMPARE(resumed.status, 0);
    const QStringList redoneLines = lines(resumed.out);
    const QSet<QString> redone(redoneLines.cbegin(), redoneLines.cend());
    QCOMPARE(redone.size(), 80 - done.size());
    for (const QString &path : done) {
        QVERIFY2(!redone.contains(path), qPrintable(path));
    }
    QCOMPARE(lines(resumed.err).constLast(), QStringLiteral("oftool render: wrote %1 of 80 files; 0 skipped, 0 failed, 0 incomplete; "
                                                            "%2 passed over as complete (--resume)").arg(redone.size()).arg(done.size()));
    const QMap<QString, QByteArray> found = filesIn(dir.filePath(QStringLiteral("out")));
    QCOMPARE(found.keys(), expected.keys());
    QVERIFY(found == expected);
}

void tst_Shards::resumeRedoesSpoiled_data()
{
    QTest::addColumn<QString>("spoil");
    QTest::newRow("cut short") << "cut";
    QTest::newRow("same size, changed after its record") << "changed";
    QTest::newRow("removed") << "removed";
    QTest::newRow("metrics of another file") << "metrics";
}

void tst_Shards::resumeRedoesSpoiled()
{
    QFETCH(QString, spoil);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QStringList arguments = tenFiles + QStringList{QStringLiteral("--metrics"), QStringLiteral("--resume")};
    QCOMPARE(render(dir.path(), arguments).status, 0);
    const QString out = dir.filePath(QStringLiteral("out"));
    const QMap<QString, QByteArray> expected = filesIn(out);
    const QString victim = QDir(out).filePath(QStringLiteral("DejaVu_Sans__Book__12.of"));
    QByteArray bytes = expected.value(QStringLiteral("DejaVu_Sans__Book__12.of"));
    if (spoil == QLatin1String("cut")) {
        QVERIFY(writeAll(victim, bytes.left(bytes.size() / 2)));
    } else if (spoil == QLatin1String("changed")) {
        bytes.replace("<", "[");
        QVERIFY(writeAll(victim, bytes));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
    } else if (spoil == QLatin1String("removed")) {
        QVERIFY(QFile::remove(victim));
    } else {
        QVERIFY(writeAll(victim + QStringLiteral(".metrics.json"), expected.value(QStringLiteral("DejaVu_Sans__Book__13.of.metrics.json"))));
    }

    const OftoolRun resumed = render(dir.path(), arguments);
    QCOMPARE(resumed.status, 0);
    QCOMPARE(resumed.out, victim.toUtf8() + '\n');
    QCOMPARE(lines(resumed.err).constLast(), QStringLiteral("oftool render: wrote 1 of 10 files; 0 skipped, 0 failed, 0 incomplete; "
                                                            "9 passed over as complete (--resume)"));
    const QMap<QString, QByteArray> found = filesIn(out);
    QCOMPARE(found.keys(), expected.keys());
    QVERIFY(found == expected);
}

void tst_Shards::composeShardsMakeTheRun_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("1") << 1;
    QTest::newRow("3") << 3;
    QTest::newRow("7") << 7;
    QTest::newRow("12, more than samples") << 12;
}

// Shards 0..N-1 of compose make the unsharded run's files, and their lists merged its lists, byte for byte.
void tst_Shards::composeShardsMakeTheRun()
{
    QFETCH(int, count);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QCOMPARE(compose(dir.path(), composeArguments(m_input, 10) + QStringList{QStringLiteral("whole")}).status, 0);
    const QMap<QString, QByteArray> expected = filesIn(dir.filePath(QStringLiteral("whole")));
    QCOMPARE(expected.size(), 2 + 10 * 4);

    for (int index = 0; index < count; ++index) {
        const QString label = QStringLiteral("%1/%2").arg(index).arg(count);
        const OftoolRun shard = compose(dir.path(), composeArguments(m_input, 10)
                                                        + QStringList{QStringLiteral("out"), QStringLiteral("--shard"), label});
        QCOMPARE(shard.status, 0);
        const Shards::Range range = Shards::itemsOf(Shards::Shard{index, count}, 10);
        const QStringList said = lines(shard.err);
        QCOMPARE(said.size(), 2);
        if (range.size() == 0) {
            QCOMPARE(said.at(0), QStringLiteral("oftool compose: shard %1: none of the 10 samples planned; nothing to do").arg(label));
        } else {
            QCOMPARE(said.at(0), QStringLiteral("oftool compose: shard %1: samples %2 to %3 of the 10 planned")
                                     .arg(label).arg(range.first).arg(range.end - 1));
        }
        QCOMPARE(said.at(1), QStringLiteral("oftool compose: wrote %1 of %1 samples into out; 0 skipped, 0 failed").arg(range.size()));
    }
    for (const QString &list : {QStringLiteral("metadata.jsonl"), QStringLiteral("gt.txt")}) {
        const OftoolRun merge = runOftool({QStringLiteral("manifest-merge"), QStringLiteral("out/") + list}, dir.path());
        QCOMPARE(merge.status, 0);
        QCOMPARE(merge.out, QStringLiteral("out/%1: 10 records from %2 shards\n").arg(list).arg(count).toUtf8());
    }
    QMap<QString, QByteArray> found = filesIn(dir.filePath(QStringLiteral("out")));
    for (int index = 0; index < count; ++index) {
        QVERIFY(found.remove(QStringLiteral("metadata.shard-%1-of-%2.jsonl").arg(index).arg(count)) == 1);
        QVERIFY(found.remove(QStringLiteral("gt.shard-%1-of-%2.txt").arg(index).arg(count)) == 1);
        QVERIFY(found.remove(QStringLiteral("metadata.shard-%1-of-%2.jsonl.sizes").arg(index).arg(count)) == 1);
    }
    QCOMPARE(found.keys(), expected.keys());
    QVERIFY(found == expected);
}

// A compose run killed outright: the rerun passes over exactly the samples the journal shows whole and makes the rest.
void tst_Shards::composeResumeAfterKill()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QStringList resumed = QStringList{QStringLiteral("out"), QStringLiteral("--resume")};
    const QString journal = dir.filePath(QStringLiteral("out/metadata.jsonl.partial"));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(withoutJobArrays());
    process.start(QStringLiteral(OFTOOL_PATH), composeArguments(m_input, 100000) + resumed);
    QVERIFY(process.waitForStarted());
    // Killed once the first samples are in place, while more are being made.
    while (readAll(journal).count('\n') < 1 && process.state() == QProcess::Running) {
        QTest::qWait(10);
    }
    ::kill(pid_t(process.processId()), SIGKILL);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);

    QStringList whole;
    QList<QByteArray> journaled = readAll(journal).split('\n');
    journaled.removeLast(); // cut short by the kill, or empty
    for (const QByteArray &line : qAsConst(journaled)) {
        whole.append(QJsonDocument::fromJson(line).object().value(QStringLiteral("sample")).toString());
    }
    QVERIFY(!whole.isEmpty() && whole.size() < 100000);
    QHash<QString, ino_t> inodes;
    for (const QString &name : whole) {
        inodes.insert(name, inodeOf(dir.filePath(QStringLiteral("out/%1.png").arg(name))));
    }
    const int count = whole.size() + 20;
    const OftoolRun again = compose(dir.path(), composeArguments(m_input, count) + resumed);
    QCOMPARE(again.status, 0);
    QCOMPARE(lines(again.err).constLast(), QStringLiteral("oftool compose: wrote %1 of %2 samples into out; 0 skipped, 0 failed; "
                                                          "%3 passed over as complete (--resume)").arg(20).arg(count).arg(whole.size()));
    for (const QString &name : whole) {
        QCOMPARE(inodeOf(dir.filePath(QStringLiteral("out/%1.png").arg(name))), inodes.value(name));
    }
    QVERIFY(!QFileInfo::exists(journal));
    QCOMPARE(compose(dir.path(), composeArguments(m_input, count) + QStringList{QStringLiteral("fresh")}).status, 0);
    QMap<QString, QByteArray> found = filesIn(dir.filePath(QStringLiteral("out")));
    QVERIFY(found.remove(QStringLiteral("metadata.jsonl.sizes")) == 1);
    const QMap<QString, QByteArray> expected = filesIn(dir.filePath(QStringLiteral("fresh")));
    QCOMPARE(found.keys(), expected.keys());
    QVERIFY(found == expected);
}

void tst_Shards::composeResumeRedoesSpoiled_data()
{
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<int>("redone");
    QTest::newRow("image cut short") << "cut" << 1;
    QTest::newRow("same size, changed after its journal line") << "changed" << 1;
    QTest::newRow("PAGE-XML removed") << "removed" << 1;
    QTest::newRow("no journal") << "journal" << 10;
}

void tst_Shards::composeResumeRedoesSpoiled()
{
    QFETCH(QString, spoil);
    QFETCH(int, redone);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QStringList arguments = composeArguments(m_input, 10) + QStringList{QStringLiteral("out"), QStringLiteral("--resume")};
    QCOMPARE(compose(dir.path(), arguments).status, 0);
    const QDir out(dir.filePath(QStringLiteral("out")));
    QMap<QString, QByteArray> expected = filesIn(out.path());
    QVERIFY(expected.remove(QStringLiteral("metadata.jsonl.sizes")) == 1);
    if (spoil == QLatin1String("cut")) {
        QVERIFY(writeAll(out.filePath(QStringLiteral("000004.png")), expected.value(QStringLiteral("000004.png")).left(100)));
    } else if (spoil == QLatin1String("changed")) {
        QVERIFY(writeAll(out.filePath(QStringLiteral("000004.gt.txt")), expected.value(QStringLiteral("000004.gt.txt")).toUpper()));
        QFile file(out.filePath(QStringLiteral("000004.gt.txt")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
    } else if (spoil == QLatin1String("removed")) {
        QVERIFY(QFile::remove(out.filePath(QStringLiteral("000004.xml"))));
    } else {
        QVERIFY(QFile::remove(out.filePath(QStringLiteral("metadata.jsonl.sizes"))));
    }

    const OftoolRun again = compose(dir.path(), arguments);
    QCOMPARE(again.status, 0);
    QCOMPARE(lines(again.err).constLast(), QStringLiteral("oftool compose: wrote %1 of 10 samples into out; 0 skipped, 0 failed; "
                                                          "%2 passed over as complete (--resume)").arg(redone).arg(10 - redone));
    QMap<QString, QByteArray> found = filesIn(out.path());
    QVERIFY(found.remove(QStringLiteral("metadata.jsonl.sizes")) == 1);
    QCOMPARE(found.keys(), expected.keys());
    QVERIFY(found == expected);

    // The lists keep a redone sample's records in place, so a run of other settings may not redo it.
    QVERIFY(QFile::remove(out.filePath(QStringLiteral("000004.png"))));
    const OftoolRun other = compose(dir.path(), QStringList(arguments) << QStringLiteral("--margin") << QStringLiteral("3"));
    QCOMPARE(other.status, 2);
    QCOMPARE(lines(other.err).mid(1, 2), (QStringList{QStringLiteral("oftool compose: cannot make 000004 again: metadata.jsonl lists "
                                                                      "it as made with other settings"),
                                                      QStringLiteral("oftool compose: wrote 0 of 10 samples into out; 0 skipped, 1 failed; "
                                                                     "9 passed over as complete (--resume)")}));
    QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("metadata.jsonl.partial"))));
    QCOMPARE(readAll(out.filePath(QStringLiteral("metadata.jsonl"))), expected.value(QStringLiteral("metadata.jsonl")));
    // Refused before any of its files went in place.
    QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("000004.png"))));
    QCOMPARE(readAll(out.filePath(QStringLiteral("000004.xml"))), expected.value(QStringLiteral("000004.xml")));
}

// A run stopped by a sample it cannot write removes what it put in place after it, but only its own names: a
// sample's image that is a link leads out of the folder, to a file that is not the run's to remove.
void tst_Shards::composeStopKeepsLinkedFiles()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QStringList arguments = composeArguments(m_input, 40) + QStringList{QStringLiteral("out"), QStringLiteral("--resume")};
    QCOMPARE(compose(dir.path(), arguments).status, 0);
    const QDir out(dir.filePath(QStringLiteral("out")));
    QVERIFY(QFile::remove(out.filePath(QStringLiteral("000001.png"))));
    QCOMPARE(mkfifo(QFile::encodeName(out.filePath(QStringLiteral("000001.png"))).constData(), 0644), 0);
    for (int i = 2; i < 40; ++i) {
        const QString name = QStringLiteral("%1.png").arg(i, 6, 10, QLatin1Char('0'));
        QVERIFY(writeAll(dir.filePath(name), "outside"));
        QVERIFY(QFile::remove(out.filePath(name)) && QFile::link(dir.filePath(name), out.filePath(name)));
    }
    QCOMPARE(compose(dir.path(), arguments).status, 2);
    for (int i = 2; i < 40; ++i) {
        QVERIFY2(QFileInfo::exists(dir.filePath(QStringLiteral("%1.png").arg(i, 6, 10, QLatin1Char('0')))), qPrintable(QString::number(i)));
    }
}

QTEST_GUILESS_MAIN(tst_Shards)
#include "tst_shards.moc"
