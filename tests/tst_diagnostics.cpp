#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include "stderrcapture.h"
#include "testfiles.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

using IOManager::Diagnostic;
using IOManager::FontFileManager;

namespace {

QByteArray fontFile(const QByteArray &letters)
{
    return "<?xml version=\"1.0\"?>\n<font name=\"f\">" + letters + "</font>\n";
}

QByteArray picture(const char *width, const char *height, const char *format, const char *data)
{
    return QByteArray("<picture id=\"1\"><imageData><width>") + width + "</width><height>" + height
           + "</height><format>" + format + "</format><data>" + data + "</data></imageData></picture>";
}

// "kind letter: text" per diagnostic.
QStringList describe(const QVector<Diagnostic> &diagnostics)
{
    QStringList lines;
    for (const Diagnostic &diagnostic : diagnostics) {
        lines << QStringLiteral("%1 %2: %3").arg(diagnostic.kind()).arg(diagnostic.letter(), diagnostic.text());
    }
    return lines;
}

/* What a silent read or import gave: letters, ids and images, then the diagnostics with their paths. */
struct Outcome
{
    QStringList letters;
    QList<QImage> images;
    QStringList diagnostics;
    bool operator==(const Outcome &other) const
    {
        return letters == other.letters && images == other.images && diagnostics == other.diagnostics;
    }
};

// A path ending in "/" is a directory to import; anything else a file to read.
Outcome readSilently(const QString &path)
{
    Outcome outcome;
    IOManager::DiagnosticCollector collector;
    std::unique_ptr<Models::Font> font(path.endsWith(QLatin1Char('/'))
                                           ? FontFileManager::fontFromDirectory(path, {{"A", "Alpha"}}, collector.sink())
                                           : FontFileManager::fontFromFile(path, collector.sink()));
    for (const Models::Character *letter : font->getCharacters()) {
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            outcome.letters << letter->getCharacterValue() + QLatin1Char(':') + QString::number(picture->getId());
            outcome.images << picture->getImage();
        }
    }
    for (const Diagnostic &diagnostic : collector.kept()) {
        outcome.diagnostics << describe({diagnostic}) << diagnostic.path();
    }
    return outcome;
}

bool debugSeen = false;

void noteDebug(QtMsgType, const QMessageLogContext &, const QString &)
{
    debugSeen = true;
}

} // namespace

class tst_Diagnostics : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reader_data();
    void reader();
    void import();
    void threads();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_Diagnostics::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_Diagnostics::reader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<int>("total");
    QTest::addColumn<bool>("lostPixels");

    const QByteArray good = picture("2", "1", "5", "1,2");
    QTest::newRow("clean") << fontFile("<letter char=\"A\">" + good + "</letter>") << 10 << QStringList() << 0 << false;
    QTest::newRow("letters left out") << fontFile("<letter char=\"a\"/><letter char=\"b\"/><letter char=\"c\"/>") << 2
                                      << QStringList{"3 a: No picture found for letter \"a\"",
                                                     "3 b: No picture found for letter \"b\""} << 3 << false;
    QTest::newRow("pictures lost")
        << fontFile("<letter char=\"A\">" + picture("2", "2", "5", "1") + picture("1", "1", "99", "1") + "</letter>") << 10
        << QStringList{"4 A: pixel count does not match picture size", "5 A: unknown picture format"} << 2 << true;
    QTest::newRow("not a font") << QByteArray("<svg><font name=\"x\"/></svg>") << 10
                                << QStringList{"2 : the document element is not \"font\""} << 1 << false;
    QTest::newRow("malformed") << fontFile("<letter char=\"A\">" + good).left(80) << 10 << QStringList{"1 : malformed"}
                               << 1 << true;
}

void tst_Diagnostics::reader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, keep);
    QFETCH(QStringList, kept);
    QFETCH(int, total);
    QFETCH(bool, lostPixels);
    QVERIFY(writeAll(path("f.of"), bytes));

    StderrCapture silent;
    IOManager::DiagnosticCollector collector(keep);
    delete FontFileManager::fontFromFile(path("f.of"), collector.sink());
    QCOMPARE(silent.text(), QByteArray());
    QCOMPARE(describe(collector.kept()), kept);
    QCOMPARE(collector.lostPixels(), lostPixels);
    QCOMPARE(collector.total(), qint64(total));
    if (total > keep) {
        return;
    }

    // The form without a sink prints the lines of the same diagnostics.
    QString lines;
    for (const Diagnostic &diagnostic : collector.kept()) {
        QCOMPARE(diagnostic.path(), path("f.of"));
        lines += diagnostic.standardLine();
    }
    StderrCapture printed;
    delete FontFileManager::fontFromFile(path("f.of"));
    QCOMPARE(QString::fromUtf8(printed.text()), lines);
}

void tst_Diagnostics::import()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    QVERIFY(image.save(path("x_u+0041_1.png")));
    QVERIFY(writeAll(path("x_B_2.png"), "GIF89a\x01\x00\x01\x00\x00\x00\x00;"));
    QVERIFY(writeAll(path("x_[pasdecode]_3.png"), "not read"));

    debugSeen = false;
    const QtMessageHandler previous = qInstallMessageHandler(noteDebug);
    StderrCapture silent;
    IOManager::DiagnosticCollector collector;
    const std::unique_ptr<Models::Font> font(FontFileManager::fontFromDirectory(m_dir->path(), {}, collector.sink()));
    const QByteArray printed = silent.text();
    qInstallMessageHandler(previous);
    QCOMPARE(printed, QByteArray());
    QVERIFY(!debugSeen);
    QCOMPARE(describe(collector.kept()),
             (QStringList{"13 : the letter [pasdecode] marks a glyph to leave out",
                          "8 : glyph image not in PNG, JPEG or BMP format, not loaded", "14 A: 0041"}));
    QCOMPARE(collector.kept().at(1).path(), path("x_B_2.png"));
    QVERIFY(collector.lostPixels());
    QCOMPARE(font->getCharacters().keys(), (QStringList{"A", "B"}));
}

void tst_Diagnostics::threads()
{
    QImage glyph(40, 60, QImage::Format_RGB32);
    glyph.fill(Qt::white);
    QStringList inputs;
    for (int set = 0; set < 3; ++set) {
        const QString directory = path(QStringLiteral("glyphs%1/").arg(set));
        QVERIFY(QDir().mkpath(directory));
        for (int i = 0; i < 20; ++i) {
            glyph.setPixel(i, set, qRgb(i, 0, 0));
            QVERIFY(glyph.save(directory + QStringLiteral("x_u+%1_%2.png").arg(0x41 + i, 4, 16, QLatin1Char('0')).arg(set)));
        }
        QVERIFY(writeAll(directory + "x_z_1.bmp", "BM cut short"));
        std::unique_ptr<Models::Font> font(FontFileManager::fontFromDirectory(directory, {}, nullptr));
        const QString file = path(QStringLiteral("font%1.of").arg(set));
        QVERIFY(FontFileManager::fontToFile(font.get(), file));
        inputs << directory << file;
    }
    QVERIFY(writeAll(path("odd.of"), fontFile("<letter char=\"A\">" + picture("2", "2", "5", "1") + "</letter><b>")));
    inputs << path("odd.of");

    std::vector<Outcome> expected;
    for (const QString &input : qAsConst(inputs)) {
        expected.push_back(readSilently(input));
    }
    // Each thread reads every input, starting at a different one, so that different work overlaps.
    const int threadCount = 6;
    std::vector<std::vector<Outcome>> outcomes(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&inputs, &outcomes, t] {
            for (int i = 0; i < inputs.size(); ++i) {
                outcomes[t].push_back(readSilently(inputs.at((i + t) % inputs.size())));
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    for (int t = 0; t < threadCount; ++t) {
        for (int i = 0; i < inputs.size(); ++i) {
            QVERIFY2(outcomes[t][i] == expected[(i + t) % inputs.size()], qPrintable(inputs.at((i + t) % inputs.size())));
        }
    }
}

QTEST_GUILESS_MAIN(tst_Diagnostics)
#include "tst_diagnostics.moc"
