#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "addedfontfiles.h"

#include <QWidget>

class GlyphPreview;
class SizeValidator;

QT_BEGIN_NAMESPACE
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QEvent;
class QFont;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QString;
QT_END_NAMESPACE

/** The one window: choose a font, a style, a size and an output file, then "run". */
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

protected slots:
    void changeFont(const QFont &font);
    void chooseOutputFilename();
    void updateProcess();
    void produceOutput();
    void updateOutputFilename();
    void addFontFiles();

protected:
    /**
     * Registers font files with Qt's font database, so that their families join the font list, and
     * picks the first family added; the status bar names what was added and why a file was refused.
     */
    void registerFontFiles(const QStringList &paths);
    /** The font list's tool tips: where each entry of a family an added file brings comes from. */
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    // Protected like the slots, so that a derived window (or a test) can reach the controls.
    void fillStyles(const QFont &font);
    void fillSizes(const QFont &font);
    void setOutputFilenameFor(const QFont &font);
    QString makeOutputFilename(const QFont &font) const;

    QFontComboBox *fontCombo;
    QComboBox *sizeCombo;
    QComboBox *styleCombo;
    QLineEdit *outputEdit;
    QPushButton *browseButton;
    QPushButton *runButton;
    QStatusBar *statusBar;
    QLabel *pixelSizeLabel;
    /** The glyphs of the file the last run wrote, as read back from it. */
    GlyphPreview *glyphPreview;
    /** In statusBar, under its messages: what the last run wrote. */
    QLabel *summaryLabel;
    QPushButton *addFontsButton;

private:
    void layOutControls(QLabel *fontLabel, QLabel *sizeLabel, QLabel *styleLabel, QLabel *outputLabel);
    void updatePixelSize();
    void keepPixelSizeWidth();
    void clearPreview();
    void showFontOrigin();
    QString fontOrigin(const QString &entry) const;
    void reportFailure(const QString &filename, const QString &reason);
    void showWritten(const QString &filename, const QFont &font);
    QString dialogDirectory() const;

    SizeValidator *sizeValidator;
    AddedFontFiles addedFonts;
    // Set once the user types or picks an output path; until then the save dialog prefers the
    // directory remembered from earlier sessions to the working directory the field starts in.
    bool outputPathChosen = false;
};

#endif // MAINWINDOW_H
