#include "glyphmetrics.h"
#include "glyphrenderer.h"
#include "installedfonts.h"
#include "producefontfile.h"
#include "oftoolrun.h"
#include "testfiles.h"

#include "models/font.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The "char" values of a file's letters, in file order.
QStringList lettersIn(const QByteArray &bytes)
{
    QStringList letters;
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("letter")) {
            letters.append(reader.attributes().value(QLatin1String("char")).toString());
        }
    }
    return letters;
}

} // namespace

class tst_OftoolRender : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void defaultRun();
    void sameBytesAsWindow_data();
    void sameBytesAsWindow();
    void dpiOnThePaintingSide_data();
    void dpiOnThePaintingSide();
    void charsFileNotUtf8_data();
    void charsFileNotUtf8();
    void sizeList();
    void customCharacters();
    void missingGlyphs_data();
    void missingGlyphs();
    void usageErrors_data();
    void usageErrors();
    void unwritableOutput();
    void outputs_data();
    void outputs();
    void sizeBeyondBudget();
    void sameBytesInAnyEnvironment_data();
    void sameBytesInAnyEnvironment();
    void metricsFile();
    void clippedInk_data();
    void clippedInk();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_OftoolRender::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_OftoolRender::defaultRun()
{
    const OftoolRun run = runOftool({}, m_dir->path());
    QCOMPARE(run.status, 0);
    const QString expected = QDir(m_dir->path()).absoluteFilePath(QStringLiteral("DejaVu_Sans__Book__32.of"));
    QCOMPARE(QString::fromUtf8(run.out), expected + QLatin1Char('\n'));
    QVERIFY2(run.err.contains("DejaVu Sans Book 32 pt"), run.err.constData());
    const QStringList letters = lettersIn(readAll(expected));
    QCOMPARE(letters.size(), 100);
    QCOMPARE(letters.first(), QStringLiteral(" "));
}

void tst_OftoolRender::sameBytesAsWindow_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("extra");
    QTest::newRow("Book 32") << QStringLiteral("Book") << 32 << QStringList();
    QTest::newRow("Bold 12") << QStringLiteral("Bold") << 12 << QStringList();
    // The last of a repeated option counts, --dpi included.
    QTest::newRow("dpi given twice") << QStringLiteral("Book") << 12 << QStringList{"--dpi", "300", "--dpi=96"};
}

void tst_OftoolRender::sameBytesAsWindow()
{
    QFETCH(QString, style);
    QFETCH(int, size);
    QFETCH(QStringList, extra);
    // This process runs with QT_FONT_DPI=96, the command's default.
    const QFont font = InstalledFonts::font(QStringLiteral("DejaVu Sans"), style, size);
    const QString name = defaultFontFileName(QStringLiteral("DejaVu Sans"), style, QString::number(size));
    const QString windowPath = m_dir->filePath(QStringLiteral("window.of"));
    QVERIFY(produceFontFile(font, name, windowPath));

    const OftoolRun run = runOftool(QStringList{QStringLiteral("render"), QStringLiteral("--style"), style, QStringLiteral("--size"),
                               QString::number(size), QStringLiteral("--output"), QStringLiteral("tool.of")} + extra,
                              m_dir->path());
    QCOMPARE(run.status, 0);
    const QByteArray tool = readAll(m_dir->filePath(QStringLiteral("tool.of")));
    QVERIFY(!tool.isEmpty());
    QVERIFY(tool == readAll(windowPath));
}

void tst_OftoolRender::dpiOnThePaintingSide_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QByteArray>("inherited"); // QT_FONT_DPI in oftool's environment, if not empty
    QTest::addColumn<int>("pixels");           // 12 pt at dpi, the same under Qt 5 and Qt 6
    QTest::newRow("72 dpi") << 72 << QByteArray() << 12;
    QTest::newRow("100 dpi") << 100 << QByteArray() << 17;
    // Qt 6 would take QT_FONT_DPI=120 as a 1.25 scale factor and draw without hinting.
    QTest::newRow("120 dpi, QT_FONT_DPI=120") << 120 << QByteArray("120") << 20;
    QTest::newRow("144 dpi, QT_FONT_DPI=90") << 144 << QByteArray("90") << 24;
}

void tst_OftoolRender::dpiOnThePaintingSide()
{
    QFETCH(int, dpi);
    QFETCH(QByteArray, inherited);
    QFETCH(int, pixels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_FONT_DPI"));
    if (!inherited.isEmpty()) {
        environment.insert(QStringLiteral("QT_FONT_DPI"), QString::fromLatin1(inherited));
    }
    const OftoolRun run = runOftool({"render", "--size", "12", "--dpi", QString::number(dpi), "--output", "tool.of"},
                                    m_dir->path(), environment);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(QStringLiteral("(DejaVu Sans, Book, %1 px at %2 dpi)").arg(pixels).arg(dpi).toUtf8()),
             run.err.constData());
    // Drawn here at the same DPI, by a process whose own DPI is 96 and that does not scale.
    const QString here = m_dir->filePath(QStringLiteral("here.of"));
    QVERIFY(produceFontFile(InstalledFonts::font("DejaVu Sans", "Book", 12), "DejaVu_Sans__Book__12.of", here,
                            defaultLetters(), nullptr, dpi));
    QVERIFY(readAll(m_dir->filePath(QStringLiteral("tool.of"))) == readAll(here));
}

void tst_OftoolRender::charsFileNotUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("invalid byte") << QByteArray("ab\xFF");
    QTest::newRow("cut short") << QByteArray("ab\xE2\x82");
    QTest::newRow("overlong") << QByteArray("a\xC1\x81");
    QTest::newRow("surrogate") << QByteArray("a\xED\xA0\x80");
}

void tst_OftoolRender::charsFileNotUtf8()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(writeAll(m_dir->filePath(QStringLiteral("chars.txt")), bytes));
    const OftoolRun run = runOftool({"render", "--chars-file", "chars.txt"}, m_dir->path());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith("oftool render: --chars-file: chars.txt is not valid UTF-8\n"), run.err.constData());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("chars.txt")});
}

void tst_OftoolRender::sizeList()
{
    const OftoolRun run = runOftool({QStringLiteral("render"), QStringLiteral("--size"), QStringLiteral("12,16"),
                               QStringLiteral("--output"), QStringLiteral("out/fonts")}, m_dir->path());
    QCOMPARE(run.status, 0);
    const QDir out(m_dir->filePath(QStringLiteral("out/fonts")));
    QCOMPARE(out.entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("DejaVu_Sans__Book__12.of"), QStringLiteral("DejaVu_Sans__Book__16.of")}));
    QVERIFY2(run.err.contains("[1/2] DejaVu Sans Book 12 pt") && run.err.contains("[2/2] DejaVu Sans Book 16 pt"),
             run.err.constData());
    QVERIFY2(run.err.contains("wrote 2 of 2 files"), run.err.constData());
    QCOMPARE(run.out.count('\n'), 2);
}

void tst_OftoolRender::customCharacters()
{
    const OftoolRun run = runOftool({QStringLiteral("render"), QStringLiteral("--chars"), QStringLiteral("65-67,0xE9"),
                               QStringLiteral("--output"), QStringLiteral("c.of")}, m_dir->path());
    QCOMPARE(run.status, 0);
    QCOMPARE(lettersIn(readAll(m_dir->filePath(QStringLiteral("c.of")))),
             (QStringList{QStringLiteral(" "), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                          QString(QChar(0xE9))}));

    QFile list(m_dir->filePath(QStringLiteral("chars.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("xy\n\xE4\xB8\x80 z\n");
    list.close();
    const OftoolRun fromFile = runOftool({QStringLiteral("render"), QStringLiteral("--chars-file"), list.fileName(),
                                    QStringLiteral("--skip-missing"), QStringLiteral("--output"), QStringLiteral("f.of")},
                                   m_dir->path());
    QCOMPARE(fromFile.status, 0);
    QCOMPARE(lettersIn(readAll(m_dir->filePath(QStringLiteral("f.of")))),
             (QStringList{QStringLiteral(" "), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}));
}

void tst_OftoolRender::missingGlyphs_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("letters");
    QTest::addColumn<QString>("fate");
    const QStringList both{QStringLiteral(" "), QStringLiteral("A"), QString(QChar(0x4E00))};
    QTest::newRow("reported") << QString() << 0 << both << "Qt draws them from another font";
    QTest::newRow("strict") << QStringLiteral("--strict") << 3 << QStringList() << "not written (--strict)";
    QTest::newRow("skip") << QStringLiteral("--skip-missing") << 0 << QStringList{QStringLiteral(" "), QStringLiteral("A")}
                          << "left out";
}

void tst_OftoolRender::missingGlyphs()
{
    QFETCH(QString, mode);
    QFETCH(int, status);
    QFETCH(QStringList, letters);
    QFETCH(QString, fate);
    QStringList arguments{QStringLiteral("render"), QStringLiteral("--chars"), QStringLiteral("65,0x4E00"),
                          QStringLiteral("--output"), QStringLiteral("m.of")};
    if (!mode.isEmpty()) {
        arguments.append(mode);
    }
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, status);
    const QString path = m_dir->filePath(QStringLiteral("m.of"));
    // One line for the file, however many characters it lacks.
    const QString lack = QStringLiteral("oftool render: %1: DejaVu Sans Book lacks 1 of 2 characters: U+4E00; %2").arg(path, fate);
    QCOMPARE(QString::fromUtf8(run.err).split(QLatin1Char('\n')).filter(QStringLiteral(" lacks ")), QStringList{lack});
    QCOMPARE(QFileInfo::exists(path), !letters.isEmpty());
    if (!letters.isEmpty()) {
        QCOMPARE(lettersIn(readAll(path)), letters);
    }
}

void tst_OftoolRender::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    const QString render = QStringLiteral("render");
    QTest::newRow("unknown family") << QStringList{render, "--family", "No Such Family"}
                                    << QByteArray("no installed font family is called \"No Such Family\"");
    QTest::newRow("unknown style") << QStringList{render, "--style", "Wobbly"} << QByteArray("has no style \"Wobbly\"");
    QTest::newRow("size zero") << QStringList{render, "--size", "0"} << QByteArray("--size: \"0\" is not a point size");
    QTest::newRow("size text") << QStringList{render, "--size", "12,big"} << QByteArray("--size: \"big\"");
    QTest::newRow("size with a placeholder") << QStringList{render, "--size", "%1"}
                                             << QByteArray("--size: \"%1\" is not a point size from 1 to 1024");
    QTest::newRow("size negative") << QStringList{render, "--size", "-4"} << QByteArray("--size: \"-4\"");
    QTest::newRow("size huge") << QStringList{render, "--size", "100000"} << QByteArray("--size: \"100000\"");
    QTest::newRow("dpi") << QStringList{render, "--dpi", "zero"} << QByteArray("--dpi: \"zero\"");
    QTest::newRow("chars item") << QStringList{render, "--chars", "65,abc"} << QByteArray("--chars: \"abc\"");
    QTest::newRow("chars backwards") << QStringList{render, "--chars", "90-65"} << QByteArray("ends before it starts");
    QTest::newRow("chars surrogate") << QStringList{render, "--chars", "0xD800"} << QByteArray("surrogate");
    QTest::newRow("chars control") << QStringList{render, "--chars", "1-40"} << QByteArray("control character");
    QTest::newRow("chars too many") << QStringList{render, "--chars", "0x20-0x10FFFF"} << QByteArray("more than 65536");
    QTest::newRow("padding negative") << QStringList{render, "--fit", "ink", "--padding", "-1"}
                                      << QByteArray("oftool render: --padding: \"-1\" is not a whole number from 0 to 1000\n");
    QTest::newRow("padding huge") << QStringList{render, "--fit", "ink", "--padding", "1001"}
                                  << QByteArray("oftool render: --padding: \"1001\" is not a whole number from 0 to 1000\n");
    QTest::newRow("padding without ink") << QStringList{render, "--padding", "2"}
                                         << QByteArray("oftool render: --padding goes with --fit ink\n");
    QTest::newRow("fit") << QStringList{render, "--fit", "tight"} << QByteArray("oftool render: --fit: \"tight\" is none of line, ink\n");
    QTest::newRow("hinting") << QStringList{render, "--hinting", "medium"}
                             << QByteArray("oftool render: --hinting: \"medium\" is none of default, none, slight, full\n");
    QTest::newRow("anchors") << QStringList{render, "--anchors", "points"}
                             << QByteArray("oftool render: --anchors: \"points\" is none of percent, pixels\n");
    QTest::newRow("strict and skip") << QStringList{render, "--strict", "--skip-missing"} << QByteArray("exclude each other");
    QTest::newRow("size and px") << QStringList{render, "--size", "12", "--px", "16"} << QByteArray("--size and --px exclude each other");
    QTest::newRow("px zero") << QStringList{render, "--px", "0"} << QByteArray("--px: \"0\" is not a pixel size from 1 to 1024");
    QTest::newRow("family and all") << QStringList{render, "--family", "Serif", "--all-families"}
                                    << QByteArray("--family and --all-families exclude each other");
    QTest::newRow("no threads") << QStringList{render, "-j", "0"} << QByteArray("-j: \"0\" is not a number of threads from 1 to 256");
    QTest::newRow("strict and skip incomplete") << QStringList{render, "--skip-incomplete", "--strict"}
                                                << QByteArray("--strict and --skip-incomplete exclude each other");
    QTest::newRow("unknown option") << QStringList{render, "--colour"} << QByteArray("Unknown option 'colour'");
    QTest::newRow("stray argument") << QStringList{render, "extra"} << QByteArray("unexpected argument \"extra\"");
    QTest::newRow("unknown command") << QStringList{"draw"} << QByteArray("unknown command \"draw\"");
}

void tst_OftoolRender::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(message), run.err.constData());
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
}

void tst_OftoolRender::unwritableOutput()
{
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString target = blocker.fileName() + QStringLiteral("/x.of");
    const OftoolRun run = runOftool({QStringLiteral("render"), QStringLiteral("--output"), target}, m_dir->path());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("could not write " + target.toUtf8()), run.err.constData());
    QVERIFY2(run.err.contains("wrote 0 of 1 file"), run.err.constData());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("blocker")});
}

void tst_OftoolRender::outputs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("file"); // the file written, if any, relative to the working directory
    QTest::addColumn<QString>("line");      // a line of standard error; %1 is the working directory
    const QStringList render{"render", "--size", "8", "--chars", "65"};
    const QString book8 = QStringLiteral("DejaVu_Sans__Book__8.of");
    QTest::newRow("one file, new directory/") << render + QStringList{"--output", "new/"} << 0 << "new/" + book8 << QString();
    QTest::newRow("two files, one .of") << QStringList{"render", "--size", "8,9", "--output", "single.of"} << 1 << QString()
                                        << "oftool render: --output: 2 files go into a directory, and \"single.of\" ends in .of "
                                           "like a file; end it with \"/\" to make it a directory";
    QTest::newRow("padding beyond the budget") << QStringList{"render", "--size", "8", "--chars", "65-90", "--fit", "ink", "--padding", "1000"}
                                               << 2 << QString()
                                               << "oftool render: DejaVu Sans Book 8 pt: the glyph images would take more than "
                                                  "67108864 pixels; not even 1 pt fits; draw fewer characters";
    QTest::newRow("style in lower case") << render + QStringList{"--style", "bold"} << 0 << "DejaVu_Sans__Bold__8.of" << QString();
    QTest::newRow("no directory") << render + QStringList{"--output", "nowhere/x.of"} << 2 << QString()
                                  << "oftool render: cannot write %1/nowhere/x.of: No such file or directory";
    QTest::newRow("directory in the way") << render + QStringList{"--output", "taken"} << 2 << QString()
                                          << "oftool render: cannot write %1/taken/" + book8 + ": Is a directory";
    QTest::newRow("FIFO") << render + QStringList{"--output", "fifo.of"} << 2 << QString()
                          << "oftool render: cannot write %1/fifo.of: not a regular file";
    QTest::newRow("~ not expanded") << render + QStringList{"--output=~/x.of"} << 2 << QString()
                                    << "oftool render: cannot write %1/~/x.of: No such file or directory (the shell did not "
                                       "expand \"~\": it does not inside quotes or after \"=\"; use $HOME)";
    QTest::newRow("~ directory not made") << render + QStringList{"--output=~/fonts/"} << 1 << QString()
                                          << "oftool render: --output: \"~/fonts/\" starts with \"~\", which the shell did "
                                             "not expand (it does not inside quotes or after \"=\"); use $HOME";
    QTest::newRow("read-only directory") << render + QStringList{"--output", "locked/x.of"} << 2 << QString()
                                         << "oftool render: cannot write %1/locked/x.of: Permission denied";
    QTest::newRow("no chars file") << QStringList{"render", "--chars-file", "none.txt"} << 2 << QString()
                                   << "oftool render: --chars-file: cannot read none.txt: No such file or directory";
    QTest::newRow("FIFO as chars file") << QStringList{"render", "--chars-file", "fifo.of"} << 2 << QString()
                                        << "oftool render: --chars-file: cannot read fifo.of: not a regular file";
    QTest::newRow("no ink at 1 pt") << QStringList{"render", "--size", "1", "--chars", "39,46", "--output", "e.of"} << 0
                                    << "e.of" << "oftool render: %1/e.of: 2 letters came out without ink: ' .";
}

void tst_OftoolRender::outputs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, file);
    QFETCH(QString, line);
    if (line.endsWith(QLatin1String("Permission denied")) && geteuid() == 0) {
        QSKIP("root writes into a read-only directory");
    }
    QDir dir(m_dir->path());
    QVERIFY(dir.mkpath("taken/DejaVu_Sans__Book__8.of") && dir.mkpath("locked"));
    QVERIFY(QFile::setPermissions(m_dir->filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(mkfifo(QFile::encodeName(m_dir->filePath("fifo.of")).constData(), 0600), 0);

    const OftoolRun run = runOftool(arguments, m_dir->path());
    QCOMPARE(run.status, status);
    if (!line.isEmpty()) {
        const QStringList lines = QString::fromUtf8(run.err).split(QLatin1Char('\n'));
        QVERIFY2(lines.contains(line.replace(QLatin1String("%1"), m_dir->path())), run.err.constData());
    }
    QStringList written;
    for (QDirIterator it(m_dir->path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        written.append(dir.relativeFilePath(it.next()));
    }
    QCOMPARE(written, file.isEmpty() ? QStringList() : QStringList{file});
}

void tst_OftoolRender::sizeBeyondBudget()
{
    const OftoolRun run = runOftool({"render", "--size", "1000", "--output", "big.of"}, m_dir->path());
    QCOMPARE(run.status, 2);
    const QRegularExpressionMatch match =
        QRegularExpression("^oftool render: DejaVu Sans Book 1000 pt: the glyph images would take more than 67108864 pixels; "
                           "the largest size that fits is (\\d+) pt$", QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(run.err));
    QVERIFY2(match.hasMatch(), run.err.constData());
    // The size named is the renderer's own limit.
    Models::Font refused(QStringLiteral("refused")), drawn(QStringLiteral("drawn"));
    QVERIFY(!renderGlyphs(InstalledFonts::font("DejaVu Sans", "Book", match.captured(1).toInt() + 1), &refused));
    QVERIFY(renderGlyphs(InstalledFonts::font("DejaVu Sans", "Book", match.captured(1).toInt()), &drawn));
}

void tst_OftoolRender::sameBytesInAnyEnvironment_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QStringList>("files");
    const QString of = QStringLiteral("DejaVu_Sans__Book__16.of");
    QTest::newRow("default") << QStringList() << QStringList{of};
    QTest::newRow("ink, metrics") << QStringList{"--fit", "ink", "--metrics"} << QStringList{of, of + QStringLiteral(".metrics.json")};
}

void tst_OftoolRender::sameBytesInAnyEnvironment()
{
    QFETCH(QStringList, extra);
    QFETCH(QStringList, files);
    const QStringList arguments = QStringList{"render", "--size", "16"} + extra;
    QCOMPARE(runOftool(arguments + QStringList{"--output", "plain/"}, m_dir->path()).status, 0);
    QProcessEnvironment scaled = QProcessEnvironment::systemEnvironment();
    scaled.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    scaled.insert(QStringLiteral("QT_FONT_DPI"), QStringLiteral("120"));
    scaled.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("1"));
    QCOMPARE(runOftool(arguments + QStringList{"--output", "scaled/"}, m_dir->path(), scaled).status, 0);
    for (const QString &file : files) {
        const QByteArray plain = readAll(m_dir->filePath(QStringLiteral("plain/") + file));
        QVERIFY2(plain.size() > 1000, qPrintable(file));
        QVERIFY2(readAll(m_dir->filePath(QStringLiteral("scaled/") + file)) == plain, qPrintable(file));
    }
}

void tst_OftoolRender::metricsFile()
{
    const OftoolRun run = runOftool({"render", "--size", "16", "--fit", "ink", "--anchors", "pixels", "--metrics", "--output", "m.of"},
                                    m_dir->path());
    QCOMPARE(run.status, 0);
    // Written whole, no temporary file left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files, QDir::Name), (QStringList{"m.of", "m.of.metrics.json"}));
    const QJsonObject metrics = QJsonDocument::fromJson(readAll(m_dir->filePath(QStringLiteral("m.of.metrics.json")))).object();
    // This process runs at the command's 96 dpi.
    const QFontMetricsF qt(InstalledFonts::font("DejaVu Sans", "Book", 16));
    QCOMPARE(metrics.value("ascent").toDouble(), qt.ascent());
    QCOMPARE(metrics.value("spaceAdvance").toDouble(), qt.horizontalAdvance(QLatin1Char(' ')));
    QCOMPARE(metrics.value("fit").toString(), QStringLiteral("ink"));
    const QJsonArray letters = metrics.value("letters").toArray();
    QCOMPARE(letters.size(), 100);
    QJsonObject h;
    for (const QJsonValue &letter : letters) {
        if (letter.toObject().value("char") == QLatin1String("H")) {
            h = letter.toObject();
        }
    }
    QCOMPARE(h.value("advance").toDouble(), qt.horizontalAdvance(QLatin1Char('H')));
    const QByteArray file = readAll(m_dir->filePath(QStringLiteral("m.of")));
    const QByteArray hAnchors = file.mid(file.indexOf("<letter char=\"H\">"), 200);
    QVERIFY2(hAnchors.contains("<baseLine>" + QByteArray::number(h.value("baseline").toInt()) + "</baseLine>"), hAnchors.constData());
    QVERIFY2(hAnchors.contains("<leftLine>" + QByteArray::number(h.value("origin").toObject().value("x").toInt()) + "</leftLine>"),
             hAnchors.constData());
    bool kernsAV = false;
    for (const QJsonValue &pair : metrics.value("kerning").toArray()) {
        kernsAV = kernsAV || (pair.toObject().value("left") == QLatin1String("A") && pair.toObject().value("right") == QLatin1String("V"));
    }
    QVERIFY(kernsAV);
}

void tst_OftoolRender::clippedInk_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line"); // %1 is the file written; empty for none
    const QStringList italic{"--family", "DejaVu Serif", "--style", "Italic", "--size", "32"};
    const QString clipped = QStringLiteral("oftool render: %1: 2 of 3 letters lost ink at an image edge: f j; --fit ink keeps it whole");
    QTest::newRow("clipped") << italic + QStringList{"--chars", "102,106,111"} << 0 << clipped;
    QTest::newRow("clipped, --strict") << italic + QStringList{"--chars", "102,106,111", "--strict"} << 3 << clipped;
    QTest::newRow("clipped, --strict, --into") << italic + QStringList{"--chars", "102,106,111", "--strict", "--into", "c.of"} << 3
                                               << QStringLiteral("oftool render: c.of: 2 of 3 letters lost ink at an image edge: f j; "
                                                                 "--fit ink keeps it whole");
    QTest::newRow("clipped, --fit ink") << italic + QStringList{"--chars", "102,106,111", "--fit", "ink"} << 0 << QString();
    QTest::newRow("unclipped, --strict") << italic + QStringList{"--chars", "111", "--strict"} << 0 << QString();
    QTest::newRow("more than ten") << italic + QStringList{"--chars", "40,41,47,50,52,55,59,65,66,68,69,70,111"} << 0
                                   << QStringLiteral("oftool render: %1: 12 of 13 letters lost ink at an image edge: "
                                                     "( ) / 2 4 7 ; A B D ...; --fit ink keeps it whole");
}

void tst_OftoolRender::clippedInk()
{
    QFETCH(QStringList, extra);
    QFETCH(int, status);
    QFETCH(QString, line);
    const bool into = extra.contains(QStringLiteral("--into"));
    const OftoolRun run = runOftool(QStringList{"render"} + (into ? QStringList() : QStringList{"--output", "c.of"}) + extra, m_dir->path());
    QCOMPARE(run.status, status);
    const QString path = m_dir->filePath(QStringLiteral("c.of"));
    QVERIFY(QFileInfo::exists(path));
    const QStringList lines = QString::fromUtf8(run.err).split(QLatin1Char('\n')).filter(QStringLiteral(" lost ink "));
    QCOMPARE(lines, line.isEmpty() ? QStringList() : QStringList{into ? line : line.arg(path)});
}

QTEST_MAIN(tst_OftoolRender)
#include "tst_oftoolrender.moc"
