#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include "filesizelimit.h"
#include "stderrcapture.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using IOManager::FontFileManager;
using Models::Character;
using Models::CharacterPicture;
using Models::Font;

namespace {

// What the DOM writes in front of the document element of a file that had the writer's declaration.
const QByteArray rewrittenDeclaration = "<?xml version='1.0' encoding='UTF-8'?>\n";

// A letter as the writer lays it out (two spaces per level) or as the rewrite does (one).
QByteArray letterLines(int indent, const QByteArray &attributes, const QByteArray &base, const QByteArray &right,
                       const QByteArray &pictures)
{
    const QByteArray one(indent, ' ');
    const QByteArray two = one + one;
    const QByteArray three = two + one;
    return one + "<letter" + attributes + ">\n"
           + two + "<anchor>\n"
           + three + "<upLine>7.5</upLine>\n"
           + three + "<baseLine>" + base + "</baseLine>\n"
           + three + "<leftLine>-2</leftLine>\n"
           + three + "<rightLine>" + right + "</rightLine>\n"
           + two + "</anchor>\n" + pictures
           + one + "</letter>\n";
}

QByteArray writerLetter(const QByteArray &attributes, const QByteArray &base = "100",
                        const QByteArray &right = "100", const QByteArray &pictures = QByteArray())
{
    return letterLines(2, attributes, base, right, pictures);
}

QByteArray rewrittenLetter(const QByteArray &attributes, const QByteArray &base = "100",
                           const QByteArray &right = "100", const QByteArray &pictures = QByteArray())
{
    return letterLines(1, attributes, base, right, pictures);
}

const QByteArray writerPicture = "    <picture id=\"3\">\n"
                                 "      <imageData>\n"
                                 "        <width>2</width>\n"
                                 "        <height>1</height>\n"
                                 "        <format>5</format>\n"
                                 "        <degradationlevel>0.25</degradationlevel>\n"
                                 "        <data>4278190080,16777215</data>\n"
                                 "      </imageData>\n"
                                 "    </picture>\n";

const QByteArray rewrittenPicture = "  <picture id=\"3\">\n"
                                    "   <imageData>\n"
                                    "    <width>2</width>\n"
                                    "    <height>1</height>\n"
                                    "    <format>5</format>\n"
                                    "    <degradationlevel>0.25</degradationlevel>\n"
                                    "    <data>4278190080,16777215</data>\n"
                                    "   </imageData>\n"
                                    "  </picture>\n";

QByteArray writerFile(const QByteArray &letters)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<font name=\"Sample\">\n" + letters + "</font>\n";
}

QByteArray rewrittenFile(const QByteArray &letters)
{
    return rewrittenDeclaration + "<font name=\"Sample\">\n" + letters + "</font>\n";
}

QByteArray nested(int depth)
{
    return "<font><letter char=\"a\"><anchor><baseLine>1</baseLine></anchor>" + QByteArray("<g>").repeated(depth - 2)
        + QByteArray("</g>").repeated(depth - 2) + "</letter></font>";
}

QByteArray rewrittenNested(int depth)
{
    QByteArray text = "<font>\n <letter char=\"a\">\n  <anchor>\n   <baseLine>13</baseLine>\n  </anchor>\n";
    const int groups = depth - 2;
    for (int i = 0; i < groups - 1; ++i) {
        text += QByteArray(i + 2, ' ') + "<g>\n";
    }
    text += QByteArray(groups + 1, ' ') + "<g/>\n";
    for (int i = groups - 2; i >= 0; --i) {
        text += QByteArray(i + 2, ' ') + "</g>\n";
    }
    return text + " </letter>\n</font>\n";
}

} // namespace

class tst_AnchorUpdate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void updatesEveryMatchingLetter_data();
    void updatesEveryMatchingLetter();
    void noLetterElement_data();
    void noLetterElement();
    void numberText_data();
    void numberText();
    void anchorShapes_data();
    void anchorShapes();
    void hostileFileRefused_data();
    void hostileFileRefused();
    void tooLargeRefused_data();
    void tooLargeRefused();
    void plainFileAccepted_data();
    void plainFileAccepted();
    void cannotLoad_data();
    void cannotLoad();
    void cannotReopen();
    void replacementCannotBeNamed();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void keepsLinkAndPermissions();
    void writtenFontUpdated();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("font.of")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_AnchorUpdate::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_AnchorUpdate::updatesEveryMatchingLetter_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QByteArray>("expected");

    // The file holds letters a, b, a (with a picture), an empty char, no char and A.
    const auto file = [](bool a, bool empty, bool upper) {
        const auto base = [](bool changed, const QByteArray &old) { return changed ? QByteArray("13") : old; };
        const auto right = [](bool changed, const QByteArray &old) { return changed ? QByteArray("80") : old; };
        return rewrittenFile(rewrittenLetter(" char=\"a\"", base(a, "100"), right(a, "100"))
                             + rewrittenLetter(" char=\"b\"")
                             + rewrittenLetter(" char=\"a\"", base(a, "1"), right(a, "2"), rewrittenPicture)
                             + rewrittenLetter(" char=\"\"", base(empty, "100"), right(empty, "100"))
                             + rewrittenLetter(QByteArray(), base(empty, "100"), right(empty, "100"))
                             + rewrittenLetter(" char=\"A\"", base(upper, "100"), right(upper, "100")));
    };
    QTest::newRow("both a") << QStringLiteral("a") << file(true, false, false);
    QTest::newRow("empty and absent char") << QString() << file(false, true, false);
    QTest::newRow("case-sensitive") << QStringLiteral("A") << file(false, false, true);
    // Nothing matches: the file is still rewritten, one space per level.
    QTest::newRow("no match") << QStringLiteral("z") << file(false, false, false);
}

void tst_AnchorUpdate::updatesEveryMatchingLetter()
{
    QFETCH(QString, letter);
    QFETCH(QByteArray, expected);
    const QByteArray original = writerFile(writerLetter(" char=\"a\"") + writerLetter(" char=\"b\"")
                                           + writerLetter(" char=\"a\"", "1", "2", writerPicture)
                                           + writerLetter(" char=\"\"") + writerLetter(QByteArray())
                                           + writerLetter(" char=\"A\""));
    QVERIFY(writeAll(path(), original));

    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(path(), 12.7, 80.2, letter);
    QCOMPARE(capture.text(), QByteArray());
    QCOMPARE(result, 0);
    QCOMPARE(readAll(path()), expected);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("font.of")});
}

void tst_AnchorUpdate::noLetterElement_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty font") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<font name=\"Sample\"/>\n");
    QTest::newRow("other elements") << QByteArray("<font>\n  <Letter char=\"a\"/>\n  <letters/>\n</font>\n");
}

void tst_AnchorUpdate::noLetterElement()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeAll(path(), content));
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(path(), 1, 2, QStringLiteral("a"));
    QCOMPARE(capture.text(), QByteArray());
    QCOMPARE(result, -1);
    QCOMPARE(readAll(path()), content);
}

void tst_AnchorUpdate::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("12.7") << 12.7 << QByteArray("13");
    QTest::newRow("80.2") << 80.2 << QByteArray("80");
    QTest::newRow("-3.2") << -3.2 << QByteArray("-3");
    QTest::newRow("100") << 100.0 << QByteArray("100");
    QTest::newRow("0") << 0.0 << QByteArray("0");
    QTest::newRow("half up") << 12.5 << QByteArray("13");
    QTest::newRow("negative half") << -0.5 << QByteArray("-1");
    QTest::newRow("small negative") << -0.4 << QByteArray("-0");
    QTest::newRow("no exponent") << 1e20 << QByteArray("100000000000000000000");
    QTest::newRow("tiny") << 1e-9 << QByteArray("0");
    QTest::newRow("carries") << 99.999 << QByteArray("100");
}

void tst_AnchorUpdate::numberText()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QVERIFY(writeAll(path(), writerFile(writerLetter(" char=\"a\""))));
    QCOMPARE(FontFileManager::changeLetterAnchor(path(), value, value, QStringLiteral("a")), 0);
    QCOMPARE(readAll(path()), rewrittenFile(rewrittenLetter(" char=\"a\"", text, text)));
}

void tst_AnchorUpdate::anchorShapes_data()
{
    QTest::addColumn<QByteArray>("letter");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("first at any depth")
        << QByteArray("<anchor><g><baseLine>5</baseLine></g><baseLine>6</baseLine>"
                      "<rightLine>7</rightLine><rightLine>8</rightLine></anchor>")
        << QByteArray("  <anchor>\n   <g>\n    <baseLine>13</baseLine>\n   </g>\n   <baseLine>6</baseLine>\n"
                      "   <rightLine>80</rightLine>\n   <rightLine>8</rightLine>\n  </anchor>\n");
    QTest::newRow("first anchor only")
        << QByteArray("<baseLine>1</baseLine><anchor><rightLine>2</rightLine></anchor>"
                      "<anchor><baseLine>3</baseLine><rightLine>4</rightLine></anchor>")
        << QByteArray("  <baseLine>1</baseLine>\n  <anchor>\n   <rightLine>80</rightLine>\n  </anchor>\n"
                      "  <anchor>\n   <baseLine>3</baseLine>\n   <rightLine>4</rightLine>\n  </anchor>\n");
    QTest::newRow("no anchor")
        << QByteArray("<picture><baseLine>1</baseLine></picture>")
        << QByteArray("  <picture>\n   <baseLine>1</baseLine>\n  </picture>\n");
    QTest::newRow("empty lines")
        << QByteArray("<anchor><baseLine/><rightLine></rightLine></anchor>")
        << QByteArray("  <anchor>\n   <baseLine/>\n   <rightLine/>\n  </anchor>\n");
    QTest::newRow("first child node")
        << QByteArray("<anchor><baseLine><!--x-->5</baseLine><rightLine><![CDATA[9]]>.5</rightLine></anchor>")
        << QByteArray("  <anchor>\n   <baseLine>\n    <!--13-->5</baseLine>\n"
                      "   <rightLine><![CDATA[80]]>.5</rightLine>\n  </anchor>\n");
}

void tst_AnchorUpdate::anchorShapes()
{
    QFETCH(QByteArray, letter);
    QFETCH(QByteArray, expected);
    QVERIFY(writeAll(path(), "<font><letter char=\"a\">" + letter + "</letter></font>"));
    QCOMPARE(FontFileManager::changeLetterAnchor(path(), 12.7, 80.2, QStringLiteral("a")), 0);
    QCOMPARE(readAll(path()), "<font>\n <letter char=\"a\">\n" + expected + " </letter>\n</font>\n");
}

void tst_AnchorUpdate::hostileFileRefused_data()
{
    QTest::addColumn<QByteArray>("content");

    const QByteArray font = writerFile(writerLetter(" char=\"a\"", "100", "100", writerPicture));
    const QByteArray body = font.mid(font.indexOf('\n') + 1);

    // Each of these once made the DOM abort, overflow its stack or lose data on write-back.
    QTest::newRow("huge entity") << "<!DOCTYPE font [<!ENTITY big \"" + QByteArray(200000, 'x')
            + "\">]>\n<font><letter char=\"a\">&big;</letter></font>\n";
    QByteArray laughs = "<!DOCTYPE font [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \""
            + QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
    }
    QTest::newRow("billion laughs") << laughs + "]>\n<font><letter char=\"&l9;\"/></font>\n";
    QTest::newRow("nesting 33") << nested(33);
    QTest::newRow("nesting 40") << nested(40);
    QTest::newRow("nesting 30000") << nested(30000);
    QTest::newRow("DTD") << "<!DOCTYPE font>\n" + body;
    QTest::newRow("external entity") << QByteArray("<!DOCTYPE font [<!ENTITY e SYSTEM \"/etc/passwd\">]>\n"
                                                   "<font><letter char=\"a\">&e;</letter></font>\n");
    QTest::newRow("undefined entity") << QByteArray(body).replace("char=\"a\"", "char=\"&nbsp;\"");
    QTest::newRow("wide hex reference") << QByteArray(font).replace("char=\"a\"", "char=\"&#x10041;\"");
    QTest::newRow("wide reference in text") << QByteArray(font).replace("<width>2", "<width>&#x1F600;2");
    QTest::newRow("wide decimal reference") << QByteArray(font).replace("Sample", "&#65601;");
    QTest::newRow("tab in attribute") << QByteArray(font).replace("Sample", "Sam\tple");
    QTest::newRow("line feed in attribute") << QByteArray(font).replace("char=\"a\"", "char='\n'");
    QTest::newRow("carriage return in attribute") << QByteArray(font).replace("id=\"3\"", "id=\"3\r\"");
    QTest::newRow("carriage return in text") << QByteArray(font).replace("<width>2", "<width>2\r");
    QTest::newRow("invalid UTF-8") << QByteArray(font).replace("Sample", "Sa\xFFple");
    QTest::newRow("overlong UTF-8") << QByteArray(font).replace("Sample", "Sa\xC1\x81ple");
    QTest::newRow("UTF-8 surrogate") << QByteArray(font).replace("Sample", "Sa\xED\xA0\x80ple");
    QTest::newRow("cut UTF-8") << QByteArray(font).replace("</font>\n", "</font>\n\xE2\x82");
    QTest::newRow("ISO-8859-1") << QByteArray(font).replace("UTF-8", "ISO-8859-1");
    QTest::newRow("US-ASCII") << QByteArray(font).replace("UTF-8", "US-ASCII");
    QTest::newRow("UTF-16 declared") << QByteArray(font).replace("UTF-8", "UTF-16");
    QByteArray utf16Body; // little-endian
    for (const QChar c : QString::fromUtf8(QByteArray(font).replace("UTF-8", "UTF-16"))) {
        utf16Body.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    }
    QTest::newRow("UTF-16 with BOM") << "\xFF\xFE" + utf16Body;
    QTest::newRow("UTF-16 without BOM") << utf16Body;
    QTest::newRow("not XML") << QByteArray("this is not a font\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("cut short") << font.left(font.size() - 20);
    QTest::newRow("two documents") << font + font;
}

void tst_AnchorUpdate::hostileFileRefused()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeAll(path(), content));
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(path(), 1, 2, QStringLiteral("a"));
    QCOMPARE(capture.text(), "Unable to parse font:" + path().toUtf8() + "\n");
    QCOMPARE(result, -1);
    QVERIFY(readAll(path()) == content);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("font.of")});
}

void tst_AnchorUpdate::tooLargeRefused_data()
{
    // Bytes of content, or with an empty content the size of a sparse file.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("size");
    QTest::newRow("too many nodes") << "<font>" + QByteArray("<a/>").repeated(2200000) + "<letter char=\"a\"/></font>"
                                    << qint64(0);
    QTest::newRow("over 256 MiB") << QByteArray() << (qint64(256) << 20) + 1;
}

void tst_AnchorUpdate::tooLargeRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, size);
    QVERIFY(writeAll(path(), content));
    if (size > 0) {
        QFile sparse(path());
        QVERIFY(sparse.resize(size));
    }
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(path(), 1, 2, QStringLiteral("a"));
    QCOMPARE(capture.text(), "Unable to load font, too large for the anchor update: " + path().toUtf8() + "\n");
    QCOMPARE(result, -1);
    QCOMPARE(QFileInfo(path()).size(), size > 0 ? size : content.size());
}

void tst_AnchorUpdate::plainFileAccepted_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray tail = ">\n  <anchor>\n   <baseLine>13</baseLine>\n  </anchor>\n </letter>\n</font>\n";
    QTest::newRow("nesting 32") << nested(32) << QStringLiteral("a") << rewrittenNested(32);
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                             "<font><letter char=\"a\"><anchor><baseLine>1</baseLine></anchor></letter></font>")
                               << QStringLiteral("a")
                               << rewrittenDeclaration + "<font>\n <letter char=\"a\"" + tail;
    QTest::newRow("no declaration") << QByteArray("<font><letter char=\"&#233;\"><anchor><baseLine>1</baseLine>"
                                                  "</anchor></letter></font>")
                                    << QString(QChar(0xE9)) << "<font>\n <letter char=\"\xC3\xA9\"" + tail;
    QTest::newRow("lower-case utf-8") << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><font>"
                                                    "<letter char=\"&amp;\"><anchor><baseLine>1</baseLine></anchor>"
                                                    "</letter></font>")
                                      << QStringLiteral("&")
                                      << "<?xml version='1.0' encoding='utf-8'?>\n<font>\n <letter char=\"&amp;\""
                                             + tail;
    QTest::newRow("CRLF line ends")
        << QByteArray(writerFile(writerLetter(" char=\"a\"", "1", "2", writerPicture))).replace("\n", "\r\n")
        << QStringLiteral("a") << rewrittenFile(rewrittenLetter(" char=\"a\"", "13", "80", rewrittenPicture));
    // Qt 6's DOM ends lines as XML does, also in comments, processing instructions and CDATA sections;
    // Qt 5's keeps a carriage return there as it is.
    const QByteArray verbatimCr = QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) ? "\n" : "\r";
    QTest::newRow("markup kept as written")
        << QByteArray("<font><!--&#x10041;\r\t--><letter char=\"a\"><?pi a\rb?><anchor><baseLine>1</baseLine></anchor>"
                      "<![CDATA[\r&#x10041;]]></letter></font>")
        << QStringLiteral("a")
        << "<font>\n <!--&#x10041;" + verbatimCr + "\t-->\n <letter char=\"a\">\n<?pi a" + verbatimCr
               + "b?>\n  <anchor>\n   <baseLine>13</baseLine>\n  </anchor><![CDATA[" + verbatimCr
               + "&#x10041;]]></letter>\n</font>\n";
    QTest::newRow("carriage return and line feed in a comment")
        << QByteArray("<font><!--a\r\nb--><letter char=\"a\"><anchor><baseLine>1</baseLine></anchor></letter></font>")
        << QStringLiteral("a")
        << "<font>\n <!--a" + QByteArray(verbatimCr == "\r" ? "\r\n" : "\n") + "b-->\n <letter char=\"a\"" + tail;
    QTest::newRow("multibyte UTF-8") << QByteArray("<font><letter char=\"\xF0\x9F\x98\x80\"><anchor><baseLine>1"
                                                   "</baseLine></anchor></letter></font>")
                                     << QString::fromUtf8("\xF0\x9F\x98\x80")
                                     << "<font>\n <letter char=\"\xF0\x9F\x98\x80\"" + tail;
}

void tst_AnchorUpdate::plainFileAccepted()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, letter);
    QFETCH(QByteArray, expected);
    QVERIFY(writeAll(path(), content));
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(path(), 12.7, 80.2, letter);
    QCOMPARE(capture.text(), QByteArray());
    QCOMPARE(result, 0);
    QCOMPARE(readAll(path()), expected);
}

void tst_AnchorUpdate::cannotLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("missing.of");
    QTest::newRow("directory") << QStringLiteral("sub");
    QTest::newRow("non-ASCII path") << QString::fromUtf8("f\xC3\xA9nt.of");
}

void tst_AnchorUpdate::cannotLoad()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    const QString target = m_dir->filePath(name);
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(target, 1, 2, QStringLiteral("a"));
    QCOMPARE(capture.text(), "Unable to load font: " + target.toUtf8() + "\n");
    QCOMPARE(result, -1);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_AnchorUpdate::cannotReopen()
{
    if (geteuid() == 0) {
        QSKIP("Permissions do not stop root.");
    }
    const QByteArray original = writerFile(writerLetter(" char=\"a\""));
    QVERIFY(writeAll(path(), original));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(path(), 1, 2, QStringLiteral("a"));
    const QByteArray message = capture.text();
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(message, "Unable to re-open font XML file: " + path().toUtf8() + "\n");
    QCOMPARE(result, -1);
    QCOMPARE(readAll(path()), original);
}

void tst_AnchorUpdate::replacementCannotBeNamed()
{
    // The replacement's temporary name is longer than the file system allows, root or not.
    const QString target = m_dir->filePath(QString(250, QLatin1Char('f')));
    const QByteArray original = writerFile(writerLetter(" char=\"a\""));
    QVERIFY(writeAll(target, original));
    StderrCapture capture;
    const int result = FontFileManager::changeLetterAnchor(target, 1, 2, QStringLiteral("a"));
    const QByteArray message = capture.text();
    // Where the file system has unnamed temporary files, only the commit finds out.
    QVERIFY2(message == "Unable to write font XML file: " + target.toUtf8() + "\n"
                 || message == "Unable to re-open font XML file: " + target.toUtf8() + "\n",
             message.constData());
    QCOMPARE(result, -1);
    QCOMPARE(readAll(target), original);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void tst_AnchorUpdate::failedWriteKeepsOldFile_data()
{
    // One byte short, only the flush inside commit() fails.
    QTest::addColumn<int>("pictureCount");
    QTest::addColumn<bool>("oneByteShort");
    QTest::newRow("large file, 64 KB fit") << 2000 << false;
    QTest::newRow("small file, one byte short") << 1 << true;
}

void tst_AnchorUpdate::failedWriteKeepsOldFile()
{
    QFETCH(int, pictureCount);
    QFETCH(bool, oneByteShort);
    QByteArray pictures;
    for (int i = 0; i < pictureCount; ++i) {
        pictures += writerPicture;
    }
    const QByteArray original = writerFile(writerLetter(" char=\"a\"", "100", "100", pictures));
    QVERIFY(writeAll(path(), original));
    QCOMPARE(FontFileManager::changeLetterAnchor(path(), 1, 2, QStringLiteral("a")), 0);
    const qint64 size = QFileInfo(path()).size();
    QVERIFY(writeAll(path(), original));

    StderrCapture capture;
    int result = 0;
    {
        const FileSizeLimit fileSizeLimit{rlim_t(oneByteShort ? size - 1 : 64 * 1024)};
        QVERIFY(fileSizeLimit.isActive());
        result = FontFileManager::changeLetterAnchor(path(), 1, 2, QStringLiteral("a"));
    }
    const QByteArray message = capture.text();

    QCOMPARE(message, "Unable to write font XML file: " + path().toUtf8() + "\n");
    QCOMPARE(result, -1);
    QVERIFY(readAll(path()) == original);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("font.of")});
}

void tst_AnchorUpdate::keepsLinkAndPermissions()
{
    // The file is replaced through the link, and keeps its mode.
    const QString target = m_dir->filePath(QStringLiteral("target.of"));
    QVERIFY(writeAll(target, writerFile(writerLetter(" char=\"a\""))));
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(target, permissions));
    QVERIFY(QFile::link(QStringLiteral("target.of"), path()));
    QCOMPARE(FontFileManager::changeLetterAnchor(path(), 12.7, 80.2, QStringLiteral("a")), 0);
    QVERIFY(QFileInfo(path()).isSymLink());
    QCOMPARE(readAll(target), rewrittenFile(rewrittenLetter(" char=\"a\"", "13", "80")));
    QCOMPARE(QFile::permissions(target) & 0x7077, permissions);
}

void tst_AnchorUpdate::writtenFontUpdated()
{
    Font font(QStringLiteral("Sample"));
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0xFF000000);
    image.setPixel(1, 0, 0x00FFFFFF);
    auto *letter = new Character(QStringLiteral("A"), 0, 100, 0, 100);
    letter->addPicture(new CharacterPicture(image, 0, 0.0f));
    font.addCharacter(letter);
    auto *quote = new Character(QStringLiteral("\""), 1, 2, 3, 4);
    quote->addPicture(new CharacterPicture(QImage(), 1, 0.5f));
    font.addCharacter(quote);
    QVERIFY(FontFileManager::fontToFile(&font, path()));

    QCOMPARE(FontFileManager::changeLetterAnchor(path(), 12.7, -3.2, QStringLiteral("\"")), 0);
    QCOMPARE(FontFileManager::changeLetterAnchor(path(), 80.2, 99.5, QStringLiteral("A")), 0);

    // A null image's empty data comes back as an empty-element tag.
    const QByteArray expected = rewrittenDeclaration
        + "<font name=\"Sample\">\n"
          " <letter char=\"&quot;\">\n"
          "  <anchor>\n"
          "   <upLine>1</upLine>\n"
          "   <baseLine>13</baseLine>\n"
          "   <leftLine>3</leftLine>\n"
          "   <rightLine>-3</rightLine>\n"
          "  </anchor>\n"
          "  <picture id=\"1\">\n"
          "   <imageData>\n"
          "    <width>0</width>\n"
          "    <height>0</height>\n"
          "    <format>0</format>\n"
          "    <degradationlevel>0.5</degradationlevel>\n"
          "    <data/>\n"
          "   </imageData>\n"
          "  </picture>\n"
          " </letter>\n"
          " <letter char=\"A\">\n"
          "  <anchor>\n"
          "   <upLine>0</upLine>\n"
          "   <baseLine>80</baseLine>\n"
          "   <leftLine>0</leftLine>\n"
          "   <rightLine>100</rightLine>\n"
          "  </anchor>\n"
          "  <picture id=\"0\">\n"
          "   <imageData>\n"
          "    <width>2</width>\n"
          "    <height>1</height>\n"
          "    <format>5</format>\n"
          "    <degradationlevel>0</degradationlevel>\n"
          "    <data>4278190080,16777215</data>\n"
          "   </imageData>\n"
          "  </picture>\n"
          " </letter>\n"
          "</font>\n";
    QCOMPARE(readAll(path()), expected);

    // The reader takes the rewritten file, <data/> included, to the new values.
    const std::unique_ptr<Font> read(FontFileManager::fontFromFile(path()));
    QVERIFY(read);
    QCOMPARE(read->getCharacters().keys(), (QStringList{QStringLiteral("\""), QStringLiteral("A")}));
    const Character *readQuote = read->getCharacter(QStringLiteral("\""));
    QCOMPARE(readQuote->getUpLine(), 1.0);
    QCOMPARE(readQuote->getBaseLine(), 13.0);
    QCOMPARE(readQuote->getLeftLine(), 3.0);
    QCOMPARE(readQuote->getRightLine(), -3.0);
    QCOMPARE(readQuote->pictureCount(), 1);
    QVERIFY(readQuote->getPictures().first()->getImage().isNull());
    const Character *readA = read->getCharacter(QStringLiteral("A"));
    QCOMPARE(readA->getBaseLine(), 80.0);
    QCOMPARE(readA->getRightLine(), 100.0);
    QCOMPARE(readA->getPictures().first()->getImage(), image);
}

QTEST_GUILESS_MAIN(tst_AnchorUpdate)
#include "tst_anchorupdate.moc"
