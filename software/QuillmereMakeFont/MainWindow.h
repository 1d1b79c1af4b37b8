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
QT_END_NAMESPACE

namespace Models {
class Font;
}

/**
 * Adds to docFont one letter per character of the set, drawn with font, and the blank " " letter.
 * Returns false, adding nothing, when the glyph images would be too large to hold.
 */
bool renderGlyphs(const QFont &font, Models::Font *docFont);

/** Renders font into a font named fontName and writes it to outputFilename; true when the file was written. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename);

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

private:
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
