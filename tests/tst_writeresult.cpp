#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/writeresult.h"
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
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using IOManager::Diagnostic;
using IOManager::FontFileManager;
using IOManager::WriteResult;

class tst_WriteResult : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fontToFile_data();
    void fontToFile();
    void changeLetterAnchor_data();
    void changeLetterAnchor();
    void malformedPosition_data();
    void malformedPosition();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QByteArray oneLetter = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<font name=\"f\">\n  <letter char=\"A\">\n"
                             "    <anchor>\n      <upLine>0</upLine>\n      <baseLine>100</baseLine>\n"
                             "      <leftLine>0</leftLine>\n      <rightLine>100</rightLine>\n    </anchor>\n"
                             "  </letter>\n</font>\n";

} // namespace

void tst_WriteResult::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QVERIFY(writeAll(path(QStringLiteral("plain")), "x"));
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.of"))).constData(), 0600), 0);
    QCOMPARE(::symlink("loop.of", QFile::encodeName(path(QStringLiteral("loop.of"))).constData()), 0);
}

void tst_WriteResult::fontToFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("cause");
    QTest::addColumn<int>("systemError");
    // %1 stands for the temporary directory.
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("written") << "out.of" << int(WriteResult::Written) << int(WriteResult::UnknownCause) << 0
                             << QString() << QByteArray();
    QTest::newRow("directory") << "folder" << int(WriteResult::CannotOpen) << int(WriteResult::IsDirectory) << EISDIR
                               << "is a directory" << QByteArray("Warning: unable to open output font file: %1/folder\n");
    QTest::newRow("fifo") << "pipe.of" << int(WriteResult::CannotOpen) << int(WriteResult::NotRegularFile) << 0
                          << "not a regular file" << QByteArray("Warning: unable to open output font file: %1/pipe.of\n");
    QTest::newRow("missing directory") << "missing/out.of" << int(WriteResult::CannotOpen)
                                       << int(WriteResult::DirectoryMissing) << ENOENT
                                       << "the directory %1/missing does not exist"
                                       << QByteArray("Warning: unable to open output font file: %1/missing/out.of\n");
    QTest::newRow("file as directory") << "plain/out.of" << int(WriteResult::CannotOpen)
                                       << int(WriteResult::DirectoryNotDirectory) << ENOTDIR << "%1/plain is not a directory"
                                       << QByteArray("Warning: unable to open output font file: %1/plain/out.of\n");
    QTest::newRow("link loop") << "loop.of" << int(WriteResult::CannotOpen) << int(WriteResult::LinkLoop) << ELOOP
                               << "a symbolic link that leads round in a loop"
                               << QByteArray("Warning: unable to open output font file: %1/loop.of\n");
}

void tst_WriteResult::fontToFile()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(int, cause);
    QFETCH(int, systemError);
    QFETCH(QString, reason);
    QFETCH(QByteArray, line);

    Models::Font font(QStringLiteral("f"));
    auto *letter = new Models::Character(QStringLiteral("A"));
    letter->addPicture(new Models::CharacterPicture(QImage(1, 1, QImage::Format_ARGB32), 0, 0));
    font.addCharacter(letter);

    const QString target = path(name);
    WriteResult result;
    StderrCapture quiet;
    QCOMPARE(FontFileManager::fontToFile(&font, target, &result), kind == WriteResult::Written);
    QCOMPARE(quiet.text(), QByteArray());
    QCOMPARE(int(result.kind()), kind);
    QCOMPARE(int(result.cause()), cause);
    QCOMPARE(result.systemError(), systemError);
    QCOMPARE(result.path(), target);
    QCOMPARE(result.reason(), reason.arg(m_dir->path()));

    // The signature without a result prints its line from the same value.
    const QByteArray expected = QString::fromUtf8(line).arg(m_dir->path()).toUtf8();
    QCOMPARE(FontFileManager::fontToFileLine(result).toUtf8(), expected);
    StderrCapture printed;
    QCOMPARE(FontFileManager::fontToFile(&font, target), kind == WriteResult::Written);
    QCOMPARE(printed.text(), expected);
}

void tst_WriteResult::changeLetterAnchor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("updated") << "a.of" << oneLetter << int(WriteResult::Written) << QByteArray();
    QTest::newRow("missing") << "none.of" << QByteArray() << int(WriteResult::CannotLoad)
                             << QByteArray("Unable to load font: %1/none.of\n");
    QTest::newRow("directory") << "folder" << QByteArray() << int(WriteResult::CannotLoad)
                               << QByteArray("Unable to load font: %1/folder\n");
    QTest::newRow("malformed") << "bad.of" << QByteArray("<font><letter char=\"A\">") << int(WriteResult::CannotParse)
                               << QByteArray("Unable to parse font:%1/bad.of\n");
    QTest::newRow("no letter") << "empty.of" << QByteArray("<font name=\"f\"/>\n") << int(WriteResult::NoLetter)
                               << QByteArray();
}

void tst_WriteResult::changeLetterAnchor()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(QByteArray, line);

    const QString target = path(name);
    if (!content.isEmpty()) {
        QVERIFY(writeAll(target, content));
    }
    WriteResult result;
    StderrCapture quiet;
    QCOMPARE(FontFileManager::changeLetterAnchor(target, 90, 80, QStringLiteral("A"), &result),
             kind == WriteResult::Written ? 0 : -1);
    QCOMPARE(quiet.text(), QByteArray());
    QCOMPARE(int(result.kind()), kind);
    QCOMPARE(result.path(), target);
    QCOMPARE(result.reason().isEmpty(), kind == WriteResult::Written);

    const QByteArray expected = QString::fromUtf8(line).arg(m_dir->path()).toUtf8();
    QCOMPARE(FontFileManager::changeLetterAnchorLine(result).toUtf8(), expected);
    StderrCapture printed;
    QCOMPARE(FontFileManager::changeLetterAnchor(target, 90, 80, QStringLiteral("A")), kind == WriteResult::Written ? 0 : -1);
    QCOMPARE(printed.text(), expected);
}

void tst_WriteResult::malformedPosition_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("lineNumber");
    QTest::addColumn<qint64>("columnNumber");

    QTest::newRow("mismatched tag") << QByteArray("<font name=\"f\">\n  <letter char=\"A\">\n  </picture>\n")
                                    << qint64(3) << qint64(12);
    QTest::newRow("cut short") << QByteArray("<font name=\"f\">\n  <letter char=\"A\"") << qint64(2) << qint64(18);
    QTest::newRow("text before the element") << QByteArray("oops <font/>") << qint64(1) << qint64(1);
}

void tst_WriteResult::malformedPosition()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, lineNumber);
    QFETCH(qint64, columnNumber);

    const QString file = path(QStringLiteral("bad.of"));
    QVERIFY(writeAll(file, content));
    IOManager::DiagnosticCollector diagnostics;
    const std::unique_ptr<Models::Font> font(FontFileManager::fontFromFile(file, diagnostics.sink()));
    QVERIFY(font);
    QCOMPARE(diagnostics.count(Diagnostic::Malformed), qint64(1));
    const Diagnostic &malformed = diagnostics.kept().last();
    QCOMPARE(malformed.kind(), Diagnostic::Malformed);
    QVERIFY(!malformed.readerError().isEmpty());
    QCOMPARE(malformed.lineNumber(), lineNumber);
    QCOMPARE(malformed.columnNumber(), columnNumber);
    // The line on standard error stays as it was.
    QCOMPARE(malformed.standardLine(), "Warning: malformed input font file: " + file + "\n");
}

QTEST_GUILESS_MAIN(tst_WriteResult)
#include "tst_writeresult.moc"
