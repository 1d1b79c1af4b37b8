// The application window on a real X server: started by ctest under xvfb-run, driven with mouse and keys.
#include "MainWindow.h"

#include "glyphrenderer.h"

#include "models/font.h"

#include "referencewriter.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QtTest>

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

} // namespace

class tst_XWindow : public QObject
{
    Q_OBJECT

private slots:
    void runOnX();
};

void tst_XWindow::runOnX()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
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
    QVERIFY(renderGlyphs(QFontDatabase().font(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 24), &expected));
    QCOMPARE(bytes, referenceFontBytes(expected));

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
