#include "MainWindow.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include "fontfiles.h"
#include "previewpixels.h"
#include "referencewriter.h"
#include "stderrcapture.h"
#include "testfiles.h"
#include "windowcontrols.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString sans = QStringLiteral("DejaVu Sans");

// Table texts name a temporary directory as %1.
QString inDir(const QString &text, const QTemporaryDir &dir)
{
    return QString(text).replace(QLatin1String("%1"), dir.path());
}

QString writerWarning(const QString &path)
{
    return "Warning: unable to open output font file: " + path + "\n";
}

// Answers the dialog "..." opens with chosen, or cancels it; returns the file it proposed.
QString browseTo(Controls &c, const QString &chosen, QString *caption, QStringList *filters)
{
    QString proposed;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        *caption = dialog->windowTitle();
        *filters = dialog->nameFilters();
        proposed = dialog->selectedFiles().value(0);
        if (chosen.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(chosen);
        static_cast<QDialog *>(dialog)->accept();
    });
    c.browse->click();
    return proposed;
}

// As the user drops the files on the window.
void dropFiles(MainWindow &window, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data.setUrls(urls);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application passes drops on only while a real drag is under way.
    static_cast<QObject &>(window).event(&drop);
}

// A font file made in dir from a DejaVu font: name.ttf, with its family or foundry changed as kind says.
QString fontFileIn(const QTemporaryDir &dir, const QString &kind)
{
    const QString path = dir.filePath(kind + ".ttf");
    if (kind == "sorif") {
        // A family no machine has installed: DejaVu Serif under another name of the same length.
        return writeAll(path, renamedStyle(readAll(dejaVuDirectory + "DejaVuSerif.ttf"), "Serif", "Sorif", 400)) ? path : QString();
    }
    if (kind == "bold only") {
        return writeAll(path, renamedStyle(readAll(dejaVuDirectory + "DejaVuSerif-Bold.ttf"), "Serif", "Serib", 700)) ? path : QString();
    }
    if (kind == "type 1") {
        const QString copy = dir.filePath("NimbusSans-Regular.t1");
        return QFile::copy("/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1", copy) ? copy : QString();
    }
    if (kind == "other foundry") {
        return writeAll(path, withVendor(readAll(dejaVuDirectory + "DejaVuSans.ttf"), "1ASC")) ? path : QString();
    }
    return QFile::copy(dejaVuDirectory + "DejaVuSans.ttf", path) ? path : QString();
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startState();
    void dropFontFiles_data();
    void dropFontFiles();
    void keptOrReplaced();
    void addedFile_data();
    void addedFile();
    void outputFilename_data();
    void outputFilename();
    void traceLines_data();
    void traceLines();
    void familyChangeTrace();
    void emptyFieldDisablesRun();
    void pixelSizeKeepsPlace_data();
    void pixelSizeKeepsPlace();
    void previewOfTheChoice_data();
    void previewOfTheChoice();
    void run_data();
    void run();
    void refusal_data();
    void refusal();
    void browse_data();
    void browse();
};

void tst_MainWindow::initTestCase()
{
    QVERIFY2(InstalledFonts::families().contains(sans), "DejaVu Sans is not installed");
    // The window remembers its output directory; the user's own settings stay out of reach, and so do
    // those of the other window test, which ctest may run at the same time.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_settingsDir.isValid(), qPrintable(m_settingsDir.errorString()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_MainWindow::init()
{
    QSettings(QStringLiteral("QuillmereMakeFont"), QStringLiteral("QuillmereMakeFont")).clear();
}

void tst_MainWindow::cleanup()
{
    // Added font files stay in Qt's font database for the whole process; each test starts without them.
    QFontDatabase::removeAllApplicationFonts();
}

void tst_MainWindow::startState()
{
    StderrCapture capture;
    MainWindow window;
    const QByteArray trace = capture.text();
    Controls c(window);

    QCOMPARE(c.status->currentMessage(), QStringLiteral("Ready"));
    QVERIFY(c.run->isEnabled());
    // The lists and the name are those of the family the font list shows, not of the default font.
    QCOMPARE(c.font->currentFont().family(), c.font->currentText());
    QCOMPARE(c.style->count(), InstalledFonts::styles(c.font->currentText()).size());
    QVERIFY(c.style->count() > 0);
    // The size list was refilled from the single item 32.
    if (c.size->count() > 0 && c.size->findText(QStringLiteral("32")) < 0) {
        QCOMPARE(c.size->currentIndex(), c.size->count() * 2 / 3);
    }
    const QString name = QString(c.font->currentFont().family() + "__" + c.style->currentText() + "__"
                                 + c.size->currentText() + ".of").replace(' ', '_');
    const QString path = QDir::current().absoluteFilePath(name);
    QCOMPARE(c.output->text(), path);
    QCOMPARE(QString::fromUtf8(trace),
             "outputFilename=" + name + "\ncurrentOutputFilename=\n"
             "outputFilename=" + name + "\ncurrentOutputFilename=" + name + "\n=> outputFilename=" + path + "\n"
             "updateProcess text=" + path + "\nupdateProcess text=" + path + "\n");
}

void tst_MainWindow::dropFontFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("family"); // the font list's choice afterwards; empty when unchanged
    QTest::newRow("a family not installed") << QStringList{"sorif.ttf"} << "added DejaVu Sorif" << "DejaVu Sorif";
    QTest::newRow("refused") << QStringList{"empty.ttf", "pipe.ttf", "notes.ttf", "none.ttf"}
                             << "refused empty.ttf: an empty file; pipe.ttf: not a regular file; "
                                "notes.ttf: not a font Qt can load; none.ttf: no such file" << QString();
    QTest::newRow("both") << QStringList{"empty.ttf", "sorif.ttf"} << "added DejaVu Sorif; refused empty.ttf: an empty file"
                          << "DejaVu Sorif";
}

void tst_MainWindow::dropFontFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QString, message);
    QFETCH(QString, family);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    // A family no machine has installed: DejaVu Serif under another name of the same length.
    QVERIFY(!fontFileIn(dir, "sorif").isEmpty());
    QVERIFY(writeAll(dir.filePath("empty.ttf"), QByteArray()));
    QVERIFY(writeAll(dir.filePath("notes.ttf"), "not a font\n"));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("pipe.ttf")).constData(), 0600), 0);

    MainWindow window;
    Controls c(window);
    const QString before = c.font->currentText();
    QStringList paths;
    for (const QString &file : files) {
        paths.append(dir.filePath(file));
    }
    dropFiles(window, paths);
    QCOMPARE(c.status->currentMessage(), message);
    QCOMPARE(c.font->currentText(), family.isEmpty() ? before : family);
    if (!family.isEmpty()) {
        QVERIFY(c.style->findText(QStringLiteral("Book")) >= 0);
        QVERIFY(c.output->text().endsWith(QStringLiteral("DejaVu_Sorif__Book__") + c.size->currentText() + ".of"));
    }
}

void tst_MainWindow::addedFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("family"); // the entry the font list picks
    QTest::addColumn<QStringList>("styles");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("origins"); // of entries, in the status bar and tool tips; %1 is the file
    QTest::newRow("a family not installed") << "sorif" << "DejaVu Sorif" << QStringList{"Book"} << "added DejaVu Sorif"
                                            << QStringList{"DejaVu Sorif", "DejaVu Serif"} << QStringList{"%1", ""};
    QTest::newRow("a family with one bold style") << "bold only" << "DejaVu Serib" << QStringList{"Bold"}
                                                  << "added DejaVu Serib" << QStringList{"DejaVu Serib"}
                                                  << QStringList{"%1"};
    // The lists are refilled, though the entry stays.
    QTest::newRow("a copy of an installed font") << "copy" << sans << InstalledFonts::styles(sans) << "added DejaVu Sans"
                                                 << QStringList{sans} << QStringList{"installed font; %1"};
    QTest::newRow("another foundry") << "other foundry" << "DejaVu Sans [1ASC]" << QStringList{"Book"}
                                     << "added DejaVu Sans [1ASC]" << QStringList{"DejaVu Sans [PfEd]", "DejaVu Sans [1ASC]"}
                                     << QStringList{"installed font", "%1"};
    const QString nimbus = QStringLiteral("Nimbus Sans [urw]");
    QTest::newRow("type 1 of an installed foundry") << "type 1" << nimbus << InstalledFonts::styles(nimbus)
                                                    << "added " + nimbus << QStringList{nimbus, "Nimbus Sans [UKWN]"}
                                                    << QStringList{"installed font; %1", "installed font"};
}

void tst_MainWindow::addedFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, family);
    QFETCH(QStringList, styles);
    QFETCH(QString, message);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, origins);
    if (kind == "type 1" && !InstalledFonts::families().contains(family)) {
        QSKIP("The Type 1 fonts of fonts-urw-base35 are not installed.");
    }
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString file = fontFileIn(dir, kind);
    QVERIFY(!file.isEmpty());

    MainWindow window;
    Controls c(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    c.output->setText(dir.filePath("a.of"));
    dropFiles(window, {file});
    QCOMPARE(c.status->currentMessage(), message);
    QCOMPARE(c.font->currentText(), family);
    QStringList shown;
    for (int i = 0; i < c.style->count(); ++i) {
        shown.append(c.style->itemText(i));
    }
    QCOMPARE(shown, styles);
    QCOMPARE(c.size->count(), QFontDatabase::standardSizes().size());
    QVERIFY(!c.style->currentText().isEmpty() && !c.size->currentText().isEmpty());
    const QString name = QString(family + "__" + c.style->currentText() + "__" + c.size->currentText() + ".of").replace(' ', '_');
    QCOMPARE(c.output->text(), dir.filePath(name));

    for (int i = 0; i < entries.size(); ++i) {
        const QString origin = QString(origins.at(i)).replace(QLatin1String("%1"), file);
        const int index = c.font->findText(entries.at(i), Qt::MatchExactly);
        QVERIFY2(index >= 0, qPrintable(entries.at(i)));
        c.font->setCurrentIndex(index == 0 ? 1 : 0);
        c.status->clearMessage();
        c.font->setCurrentIndex(index);
        QCOMPARE(c.status->currentMessage(), origin.isEmpty() ? QString() : entries.at(i) + ": " + origin);
        QCOMPARE(c.font->toolTip(), origin);

        // Hovering over the entry in the open list.
        c.font->showPopup();
        QAbstractItemView *view = c.font->view();
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(view->model()->index(index, 0));
        QHelpEvent hover(QEvent::ToolTip, item.center(), view->viewport()->mapToGlobal(item.center()));
        QApplication::sendEvent(view->viewport(), &hover);
        QTRY_COMPARE(QToolTip::text(), origin);
        c.font->hidePopup();
    }
}

void tst_MainWindow::keptOrReplaced()
{
    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    QVERIFY(c.size->isEditable());
    QCOMPARE(c.size->count(), QFontDatabase::standardSizes().size());

    // An exact match survives a family change, anything else gives the first style or size index count*2/3.
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    c.font->setCurrentFont(QFont(QStringLiteral("DejaVu Serif")));
    QCOMPARE(c.style->currentText(), QStringLiteral("Bold"));
    QCOMPARE(c.size->currentText(), QStringLiteral("12"));

    c.select(c.style, QStringLiteral("No Such Style"));
    c.size->setEditText(QStringLiteral("13"));
    c.font->setCurrentFont(QFont(sans));
    QCOMPARE(c.style->currentIndex(), 0);
    QCOMPARE(c.size->currentText(), QStringLiteral("24"));
}

void tst_MainWindow::outputFilename_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected");
    const QString dir = QStringLiteral("/data/fonts/");
    QTest::newRow("size") << dir + "a.of" << "size" << "48" << dir + "DejaVu_Sans__Bold__48.of";
    QTest::newRow("typed size") << dir + "a.of" << "typed" << "13 pt" << dir + "DejaVu_Sans__Bold__13_pt.of";
    QTest::newRow("style") << dir + "a.of" << "style" << "Book" << dir + "DejaVu_Sans__Book__12.of";
    QTest::newRow("style with space") << "" << "style" << "Bold Oblique" << "DejaVu_Sans__Bold_Oblique__12.of";
    QTest::newRow("family") << dir << "family" << "DejaVu Serif" << dir + "DejaVu_Serif__Bold__12.of";
    QTest::newRow("relative") << "fonts/a.of" << "size" << "48"
                              << QDir::current().absoluteFilePath("fonts/DejaVu_Sans__Bold__48.of");
    QTest::newRow("bare") << "a.of" << "size" << "48" << QDir::current().absoluteFilePath("DejaVu_Sans__Bold__48.of");
    QTest::newRow("empty") << "" << "size" << "48" << "DejaVu_Sans__Bold__48.of";
}

void tst_MainWindow::outputFilename()
{
    QFETCH(QString, field);
    QFETCH(QString, change);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    c.output->setText(field);

    if (change == "size") {
        c.select(c.size, to);
    } else if (change == "typed") {
        c.size->setEditText(to);
    } else if (change == "style") {
        c.select(c.style, to);
    } else {
        c.font->setCurrentFont(QFont(to));
    }
    QCOMPARE(c.output->text(), expected);
}

void tst_MainWindow::traceLines_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    const QString name = QStringLiteral("DejaVu_Sans__Book__48.of");
    QTest::newRow("path") << "/d/a.of"
                          << "outputFilename=" + name + "\ncurrentOutputFilename=/d/a.of\n"
                             "=> outputFilename=/d/" + name + "\nupdateProcess text=/d/" + name + "\n";
    QTest::newRow("empty") << ""
                           << "outputFilename=" + name + "\ncurrentOutputFilename=\n"
                              "updateProcess text=" + name + "\n";
}

void tst_MainWindow::traceLines()
{
    QFETCH(QString, field);
    QFETCH(QString, expected);
    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Book"));
    c.output->setText(field);

    StderrCapture capture;
    c.select(c.size, QStringLiteral("48"));
    QCOMPARE(QString::fromUtf8(capture.text()), expected);
}

void tst_MainWindow::familyChangeTrace()
{
    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("48"));
    c.output->setText(QStringLiteral("/d/a.of"));

    StderrCapture capture;
    c.font->setCurrentFont(QFont(QStringLiteral("DejaVu Serif")));
    const QByteArray trace = capture.text();

    // Refilling the styles renames along the way; the sizes are refilled unseen, so no name lacks its size.
    QVERIFY(trace.count("\noutputFilename=") >= 2);
    QVERIFY2(!trace.contains("__.of\n"), trace.constData());
    const QByteArray name = "DejaVu_Serif__Bold__48.of";
    QVERIFY2(trace.endsWith("outputFilename=" + name + "\ncurrentOutputFilename=/d/" + name + "\n=> outputFilename=/d/"
                            + name + "\n"),
             trace.constData());
}

void tst_MainWindow::emptyFieldDisablesRun()
{
    MainWindow window;
    Controls c(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    c.output->clear();
    QVERIFY(!c.run->isEnabled());
    QTest::keyClicks(c.output, QStringLiteral("x"));
    QVERIFY(c.run->isEnabled());
    QCOMPARE(c.output->text(), QStringLiteral("x"));
    QTest::keyClick(c.output, Qt::Key_Backspace);
    QVERIFY(!c.run->isEnabled());
}

void tst_MainWindow::pixelSizeKeepsPlace_data()
{
    QTest::addColumn<QString>("size");
    QTest::newRow("three digits") << "144";
    QTest::newRow("four digits") << "2000";
    QTest::newRow("not a number") << "abc";
}

void tst_MainWindow::pixelSizeKeepsPlace()
{
    QFETCH(QString, size);
    MainWindow window;
    Controls c(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    c.font->setCurrentFont(QFont(sans));
    c.select(c.size, QStringLiteral("12"));
    window.layout()->activate();
    const QRect style = c.style->geometry();
    const QString shown = c.pixelSize->text();

    Controls::type(c.size, size);
    window.layout()->activate();
    QVERIFY(c.pixelSize->text() != shown);
    QCOMPARE(c.style->geometry(), style);
    QVERIFY(c.pixelSize->width() >= c.pixelSize->sizeHint().width());
}

void tst_MainWindow::previewOfTheChoice_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("to");
    QTest::newRow("family") << "family" << "DejaVu Serif";
    QTest::newRow("style") << "style" << "Book";
    QTest::newRow("size") << "size" << "13";
    QTest::newRow("output file") << "output" << "other.of";
}

void tst_MainWindow::previewOfTheChoice()
{
    QFETCH(QString, change);
    QFETCH(QString, to);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    c.output->setText(dir.filePath("out.of"));
    c.run->click();
    QVERIFY(!c.preview->glyphs().isEmpty());
    QVERIFY(!c.summary->text().isEmpty());

    // The last run's glyphs go with the choice they were made from.
    if (change == "family") {
        c.font->setCurrentFont(QFont(to));
    } else if (change == "style") {
        c.select(c.style, to);
    } else if (change == "size") {
        Controls::type(c.size, to);
    } else {
        c.output->setText(dir.filePath(to));
    }
    QVERIFY(c.preview->glyphs().isEmpty());
    QCOMPARE(c.summary->text(), QString());
}

void tst_MainWindow::run_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("written") << "out.of" << "";
    QTest::newRow("missing folder") << "missing/out.of" << "the directory %1/missing does not exist";
}

void tst_MainWindow::run()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(file);

    MainWindow window;
    Controls c(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    c.output->setText(path);

    StderrCapture capture;
    c.run->click();
    const QByteArray messages = capture.text();
    QSignalSpy statusChanges(c.status, &QStatusBar::messageChanged);

    if (reason.isEmpty()) {
        QCOMPARE(c.status->currentMessage(), "saved " + path);
        QCOMPARE(messages, QByteArray());
        Models::Font expected(QStringLiteral("DejaVu_Sans__Bold__12.of"));
        QVERIFY(renderGlyphs(InstalledFonts::font(sans, QStringLiteral("Bold"), 12), &expected));
        QCOMPARE(readAll(path), referenceFontBytes(expected));
        const std::unique_ptr<Models::Font> stored(IOManager::FontFileManager::fontFromFile(path));
        int shown = 0;
        const QString mismatch = previewMismatch(c.preview, *stored, &shown);
        QVERIFY2(mismatch.isEmpty() && shown > 0, qPrintable(mismatch));
        // "saved" goes after its 2000 ms, and the summary under it shows.
        QTRY_COMPARE_WITH_TIMEOUT(c.status->currentMessage(), QString(), 5000);
        QTRY_VERIFY(c.summary->isVisible());
        const int height = stored->getCharacter(QStringLiteral("A"))->getPictures().first()->getImage().height();
        QCOMPARE(c.summary->text(), QStringLiteral("out.of: 100 letters, %1 px high, %2")
                                        .arg(height)
                                        .arg(QLocale().formattedDataSize(QFileInfo(path).size())));
    } else {
        QCOMPARE(c.status->currentMessage(), "unable to save " + path + ": " + inDir(reason, dir));
        QCOMPARE(QString::fromUtf8(messages), writerWarning(path));
        QVERIFY(!QFile::exists(path));
        // A failure stays until the next message.
        QVERIFY(!statusChanges.wait(2500));
    }
}

void tst_MainWindow::refusal_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("reason");
    // Typed family and size; %1 is a temporary directory; "made" is put there first.
    const QFont book = InstalledFonts::font(sans, QStringLiteral("Book"), 12);
    const QString largest = QString::number(largestFittingPointSize(book, defaultLetters()));
    const QString notWhole = QStringLiteral("the size \"%1\" is not a whole number from 1 to ") + largest;
    const QString tooLarge = QStringLiteral("glyphs too large at %1 pt: the largest size for this font is %2 pt");
    const QString over = QString::number(largest.toInt() + 1);
    const QString out = QStringLiteral("%1/out.of");
    QTest::newRow("misspelled family") << "DejaVu Sanz" << "" << "" << out << ""
                                       << "no installed font family is called \"DejaVu Sanz\"";
    QTest::newRow("style") << sans << "Oblique Bold" << "" << out << "" << "DejaVu Sans has no style \"Oblique Bold\"";
    QTest::newRow("abc") << sans << "" << "abc" << out << "" << notWhole.arg("abc");
    QTest::newRow("0") << sans << "" << "0" << out << "" << notWhole.arg("0");
    QTest::newRow("12.5") << sans << "" << "12.5" << out << "" << notWhole.arg("12.5");
    QTest::newRow("2000") << sans << "" << "2000" << out << "" << tooLarge.arg("2000", largest);
    QTest::newRow("one over the largest") << sans << "" << over << out << "" << tooLarge.arg(over, largest);
    QTest::newRow("folder") << sans << "" << "" << out << "folder" << "is a directory";
    QTest::newRow("fifo") << sans << "" << "" << out << "fifo" << "not a regular file";
    QTest::newRow("file as folder") << sans << "" << "" << "%1/file/out.of" << "file" << "%1/file is not a directory";
    QTest::newRow("read-only folder") << sans << "" << "" << "%1/ro/out.of" << "read-only folder"
                                      << "permission denied in the directory %1/ro";
    QTest::newRow("tilde") << sans << "" << "" << "~/qmf-no-such-folder/out.of" << ""
                           << "the directory " + QDir::current().absoluteFilePath("~/qmf-no-such-folder")
                                  + " does not exist; \"~\" is not expanded: write the full path, such as "
                                  + QDir::homePath() + "/qmf-no-such-folder/out.of";
}

void tst_MainWindow::refusal()
{
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(QString, size);
    QFETCH(QString, target);
    QFETCH(QString, made);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = inDir(target, dir);
    if (made == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else if (made == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (made == "file") {
        QVERIFY(writeAll(dir.filePath("file"), "x"));
    } else if (made == "read-only folder") {
        if (geteuid() == 0) {
            QSKIP("Permissions do not stop root.");
        }
        QVERIFY(QDir().mkdir(dir.filePath("ro")));
        QVERIFY(QFile::setPermissions(dir.filePath("ro"), QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    if (family != sans) {
        Controls::type(c.font, family);
    }
    if (!style.isEmpty()) {
        c.select(c.style, style);
    }
    if (!size.isEmpty()) {
        Controls::type(c.size, size);
        QCOMPARE(c.size->currentText(), size);
        QCOMPARE(c.size->findText(size), -1);
    }
    c.output->setText(path);
    StderrCapture capture;
    c.run->click();

    // A choice that cannot be rendered never reaches the writer, whose warning is the only line.
    const bool choiceRefused = family != sans || !style.isEmpty() || !size.isEmpty();
    QCOMPARE(QString::fromUtf8(capture.text()), choiceRefused ? QString() : writerWarning(path));
    QCOMPARE(c.status->currentMessage(), "unable to save " + path + ": " + inDir(reason, dir));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
}

void tst_MainWindow::browse_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("expected");
    // %1 is a temporary directory; a field in a missing folder proposes the name in the working directory.
    const QString name = QStringLiteral("DejaVu_Sans__Bold__12.of");
    const QString here = QDir::current().absoluteFilePath(name);
    QTest::newRow("accepted") << "" << "/elsewhere/a.of" << "%1/chosen.of" << here << "%1/chosen.of";
    QTest::newRow("cancelled") << "" << "/elsewhere/a.of" << "" << here << "/elsewhere/a.of";
    QTest::newRow("no extension") << "" << "/elsewhere/a.of" << "%1/chosen" << here << "%1/chosen.of";
    QTest::newRow("other extension") << "" << "/elsewhere/a.of" << "%1/chosen.xml" << here << "%1/chosen.xml";
    QTest::newRow("field's folder") << "" << "%1/a.of" << "" << "%1/" + name << "%1/a.of";
    QTest::newRow("earlier session") << "%1/earlier" << "" << "" << "%1/earlier/" + name << here;
    QTest::newRow("typed over earlier") << "%1/earlier" << "%1/a.of" << "" << "%1/" + name << "%1/a.of";
}

void tst_MainWindow::browse()
{
    QFETCH(QString, earlier);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, proposed);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QString caption;
    QStringList filters;
    if (!earlier.isEmpty()) {
        QVERIFY(QDir().mkpath(inDir(earlier, dir)));
        MainWindow window;
        Controls c(window);
        browseTo(c, inDir(earlier, dir) + "/x.of", &caption, &filters);
    }

    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    if (!typed.isEmpty()) {
        c.output->selectAll();
        QTest::keyClicks(c.output, inDir(typed, dir));
    }
    QCOMPARE(browseTo(c, inDir(chosen, dir), &caption, &filters), inDir(proposed, dir));
    QCOMPARE(caption, QStringLiteral("Output OF filename"));
    QCOMPARE(filters, QStringList(QStringLiteral("OF files (*.of)")));
    QCOMPARE(c.output->text(), inDir(expected, dir));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
