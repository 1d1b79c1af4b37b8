#include "MainWindow.h"

#include "glyphrenderer.h"

#include "models/font.h"

#include "referencewriter.h"
#include "stderrcapture.h"
#include "testfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString sans = QStringLiteral("DejaVu Sans");

// The window keeps its widgets to itself; they are its direct children, in the order it creates them.
struct Controls {
    explicit Controls(MainWindow &window)
    {
        const auto combos = window.findChildren<QComboBox *>(QString(), Qt::FindDirectChildrenOnly);
        font = qobject_cast<QFontComboBox *>(combos.value(0));
        size = combos.value(1);
        style = combos.value(2);
        output = window.findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
        const auto buttons = window.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly);
        browse = buttons.value(0);
        run = buttons.value(1);
        status = window.findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly);
    }

    void select(QComboBox *combo, const QString &text)
    {
        int index = combo->findText(text);
        if (index < 0) {
            combo->addItem(text);
            index = combo->count() - 1;
        }
        combo->setCurrentIndex(index);
    }

    QFontComboBox *font;
    QComboBox *size;
    QComboBox *style;
    QLineEdit *output;
    QPushButton *browse;
    QPushButton *run;
    QStatusBar *status;
};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startState();
    void keptOrReplaced();
    void outputFilename_data();
    void outputFilename();
    void traceLines_data();
    void traceLines();
    void familyChangeTrace();
    void emptyFieldDisablesRun();
    void run_data();
    void run();
    void browse_data();
    void browse();
};

void tst_MainWindow::initTestCase()
{
    QVERIFY2(QFontDatabase().families().contains(sans), "DejaVu Sans is not installed");
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
    QCOMPARE(c.style->count(), QFontDatabase().styles(c.font->currentText()).size());
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

void tst_MainWindow::run_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("written");
    QTest::newRow("written") << "out.of" << true;
    QTest::newRow("missing folder") << "missing/out.of" << false;
}

void tst_MainWindow::run()
{
    QFETCH(QString, file);
    QFETCH(bool, written);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(file);

    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    c.output->setText(path);

    StderrCapture capture;
    c.run->click();
    const QByteArray messages = capture.text();

    if (written) {
        QCOMPARE(c.status->currentMessage(), "saved " + path);
        QCOMPARE(messages, QByteArray());
        Models::Font expected(QStringLiteral("DejaVu_Sans__Bold__12.of"));
        QVERIFY(renderGlyphs(QFontDatabase().font(sans, QStringLiteral("Bold"), 12), &expected));
        QCOMPARE(readAll(path), referenceFontBytes(expected));
        // Shown for 2000 ms.
        QTest::qWait(1500);
        QCOMPARE(c.status->currentMessage(), "saved " + path);
        QTRY_COMPARE_WITH_TIMEOUT(c.status->currentMessage(), QString(), 5000);
    } else {
        QCOMPARE(c.status->currentMessage(), "unable to save " + path);
        QCOMPARE(messages, "Warning: unable to open output font file: " + path.toUtf8() + "\n");
        QVERIFY(!QFile::exists(path));
        // A failure stays until the next message.
        QTest::qWait(2500);
        QCOMPARE(c.status->currentMessage(), "unable to save " + path);
    }
}

void tst_MainWindow::browse_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void tst_MainWindow::browse()
{
    QFETCH(bool, accept);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString chosen = dir.filePath(QStringLiteral("chosen.of"));

    MainWindow window;
    Controls c(window);
    c.font->setCurrentFont(QFont(sans));
    c.select(c.style, QStringLiteral("Bold"));
    c.select(c.size, QStringLiteral("12"));
    c.output->setText(QStringLiteral("/elsewhere/a.of"));

    QString caption;
    QStringList filters;
    QString proposed;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        proposed = dialog->selectedFiles().value(0);
        if (accept) {
            dialog->selectFile(chosen);
            static_cast<QDialog *>(dialog)->accept();
        } else {
            dialog->reject();
        }
    });
    c.browse->click();

    QCOMPARE(caption, QStringLiteral("Output OF filename"));
    QCOMPARE(filters, QStringList(QStringLiteral("OF files (*.of)")));
    // The bare default name, not the field's path.
    QCOMPARE(proposed, QDir::current().absoluteFilePath(QStringLiteral("DejaVu_Sans__Bold__12.of")));
    QCOMPARE(c.output->text(), accept ? chosen : QStringLiteral("/elsewhere/a.of"));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
