#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QWidget>

QT_BEGIN_NAMESPACE
class QComboBox;
class QFont;
class QFontComboBox;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QString;
class QStringList;
QT_END_NAMESPACE

namespace Models {
class Font;
}

/** The 99 letters the window draws: "!" to "~", then U+00A8, U+00E9, U+00E8, U+00E7, U+00E0. */
QStringList defaultLetters();

/** family__style__size.of with every space turned into "_". */
QString defaultFontFileName(const QString &family, const QString &style, const QString &size);

/**
 * Adds to docFont one letter per character of the set, drawn with font, and the blank " " letter.
 * Returns false, adding nothing, when the glyph images would be too large to hold.
 */
bool renderGlyphs(const QFont &font, Models::Font *docFont);
/** The same for other letters, each a string of one character (one or two UTF-16 units). */
bool renderGlyphs(const QFont &font, const QStringList &letters, Models::Font *docFont);

/** Renders font into a font named fontName and writes it to outputFilename; true when the file was written. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename);
/** The same for other letters; the blank " " letter is added as always. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters);

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

protected:
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
};

#endif // MAINWINDOW_H
