// The application window on a real X server: started by ctest under xvfb-run, driven with mouse and keys.
#include "MainWindow.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include "oftoolrun.h"
#include "previewpixels.h"
#include "referencewriter.h"
#include "testfiles.h"
#include "windowcontrols.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFontComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Opens the list with a click on the arrow and clicks the item, as a user does.
bool chooseFromList(QComboBox *combo, const QString &text)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.subControls = QStyle::SC_All;
    const QRect arrow = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, combo);
    QTest::mouseClick(combo, Qt::LeftButton, Qt::NoModifier, arrow.center());
    QAbstractItemView *view = combo->view();
    if (!QTest::qWaitFor([view] { return view->isVisible(); })) {
        return false;
    }
    const int row = combo->findText(text);
    if (row < 0) {
        return false;
    }
    const QModelIndex index = combo->model()->index(row, combo->modelColumn(), combo->rootModelIndex());
    view->scrollTo(index);
    // The list ignores a release that comes too soon after it opened.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    // Near the item's left end: a list of short names can be wider than its popup, which takes the
    // width of the combo, so the middle of the item may lie outside the window.
    const QRect rect = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(qMin(rect.center().x(), rect.left() + 8), rect.center().y()));
    return QTest::qWaitFor([view] { return !view->isVisible(); }) && combo->currentText() == text;
}

const QString sans = QStringLiteral("DejaVu Sans");
const QString book = QStringLiteral("Book");

} // namespace

class tst_XWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase();
    void refusal_data();
    void refusal();
    void runOnX();
};

void tst_XWindow::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    // The window remembers its output directory; the user's own settings stay out of reach, and so do
    // those of the other window test, which ctest may run at the same time.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_settingsDir.isValid(), qPrintable(m_settingsDir.errorString()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings(QStringLiteral("QuillmereMakeFont"), QStringLiteral("QuillmereMakeFont")).clear();
}

void tst_XWindow::refusal_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("reason");
    const QString largest =
        QString::number(largestFittingPointSize(InstalledFonts::font(sans, book, 12), defaultLetters()));
    const QString notWhole = QStringLiteral("the size \"%1\" is not a whole number from 1 to ") + largest;
    QTest::newRow("misspelled family") << "DejaVu Sanz" << "" << "no installed font family is called \"DejaVu Sanz\"";
    QTest::newRow("abc") << sans << "abc" << notWhole.arg("abc");
    QTest::newRow("0") << sans << "0" << notWhole.arg("0");
    QTest::newRow("2000") << sans << "2000"
                          << "glyphs too large at 2000 pt: the largest size for this font is " + largest + " pt";
}

void tst_XWindow::refusal()
{
    QFETCH(QString, family);
    QFETCH(QString, size);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Controls c(window);
    QVERIFY(c.complete());

    if (family == sans) {
        QVERIFY(chooseFromList(c.font, sans));
        Controls::type(c.size, size);
        QCOMPARE(c.size->findText(size), -1);
        // Four digits show whole; a line edit keeps 2 pixels on either side of its text.
        const QLineEdit *edit = c.size->lineEdit();
        QVERIFY(edit->contentsRect().width() - 4 >= edit->fontMetrics().horizontalAdvance(size));
    } else {
        QTest::mouseClick(c.font->lineEdit(), Qt::LeftButton);
        Controls::type(c.font, family);
    }
    const QString path = dir.filePath(QStringLiteral("out.of"));
    c.output->setText(path);
    QTest::mouseClick(c.run, Qt::LeftButton);
    QCOMPARE(c.status->currentMessage(), "unable to save " + path + ": " + reason);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void tst_XWindow::runOnX()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("DejaVu_Sans_24.of"));

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *fontCombo = window.findChild<QFontComboBox *>(QString(), Qt::FindDirectChildrenOnly);
    const auto combos = window.findChildren<QComboBox *>(QString(), Qt::FindDirectChildrenOnly);
    QComboBox *sizeCombo = combos.value(1);
    QComboBox *styleCombo = combos.value(2);
    auto *outputEdit = window.findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    QPushButton *runButton = window.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly).value(1);
    auto *statusBar = window.findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(fontCombo && sizeCombo && styleCombo && outputEdit && runButton && statusBar);
    QCOMPARE(statusBar->currentMessage(), QStringLiteral("Ready"));

    // Another family first, so that choosing DejaVu Sans changes the lists whatever the start was.
    QVERIFY(chooseFromList(fontCombo, QStringLiteral("DejaVu Serif")));
    QVERIFY(chooseFromList(fontCombo, QStringLiteral("DejaVu Sans")));
    // Book is never the first style (the one a family change falls back to), so choosing it is a change.
    QVERIFY(chooseFromList(styleCombo, QStringLiteral("Book")));
    QVERIFY(chooseFromList(sizeCombo, QStringLiteral("24")));
    QCOMPARE(QFileInfo(outputEdit->text()).fileName(), QStringLiteral("DejaVu_Sans__Book__24.of"));
    Controls c(window);
    const QRegularExpressionMatch shown =
        QRegularExpression(QStringLiteral("^24 pt = (\\d+) px at (\\d+) dpi$")).match(c.pixelSize->text());
    QVERIFY2(shown.hasMatch(), qPrintable(c.pixelSize->text()));

    QTest::mouseClick(outputEdit, Qt::LeftButton);
    QTest::keyClick(outputEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(outputEdit, path);
    QCOMPARE(outputEdit->text(), path);
    QVERIFY(runButton->isEnabled());
    QTest::mouseClick(runButton, Qt::LeftButton);

    QCOMPARE(statusBar->currentMessage(), "saved " + path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.endsWith("</font>\n"));
    QCOMPARE(bytes.count("<letter "), 100);
    Models::Font expected(QStringLiteral("DejaVu_Sans__Book__24.of"));
    QVERIFY(renderGlyphs(InstalledFonts::font(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 24), &expected));
    QCOMPARE(bytes, referenceFontBytes(expected));

    // oftool at the DPI the window shows writes the same bytes, at the same pixel size.
    const OftoolRun oftool = runOftool({"render", "--family", sans, "--style", book, "--size", "24", "--dpi",
                                        shown.captured(2), "--output", dir.filePath("oftool.of")},
                                       dir.path());
    QVERIFY2(oftool.err.contains(", " + shown.captured(1).toUtf8() + " px at " + shown.captured(2).toUtf8() + " dpi)"),
             oftool.err.constData());
    QCOMPARE(readAll(dir.filePath("oftool.of")), bytes);

    // Large enough for every glyph; the preview shows what the file holds.
    window.resize(760, 560);
    QTRY_VERIFY(c.preview->viewport()->rect().contains(c.preview->glyphRect(99)));
    const std::unique_ptr<Models::Font> stored(IOManager::FontFileManager::fontFromFile(path));
    int glyphsShown = 0;
    const QString mismatch = previewMismatch(c.preview, *stored, &glyphsShown);
    QVERIFY2(mismatch.isEmpty() && glyphsShown == 100, qPrintable(mismatch));
    QTRY_VERIFY_WITH_TIMEOUT(c.summary->isVisible(), 5000);

    // The screenshot comes from the X server, not from Qt's own painting.
    window.repaint();
    QCoreApplication::processEvents();
    const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
    QCOMPARE(shot.size(), window.size() * window.devicePixelRatioF());
    QVERIFY(shot.pixel(1, 1) != shot.pixel(runButton->geometry().center()));
    QVERIFY(QDir().mkpath(QStringLiteral(QMF_ARTIFACTS_DIR)));
    const QString shotPath = QStringLiteral(QMF_ARTIFACTS_DIR "/mainwindow.png");
    QVERIFY2(shot.save(shotPath), qPrintable(shotPath));
    qInfo("screenshot: %s", qPrintable(shotPath));
}

QTEST_MAIN(tst_XWindow)
#include "tst_xwindow.moc"
