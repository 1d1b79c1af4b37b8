#include "MainWindow.h"

#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

#include <iostream>

namespace {

// The size that the size list shows before its first refill.
constexpr int defaultPointSize = 32;

// All glyph images of one font together; beyond this a typed size would take gigabytes.
constexpr qint64 maxGlyphPixels = qint64(1) << 26;

const QString &characterSet()
{
    // "!" to "~", then diaeresis, e acute, e grave, c cedilla and a grave.
    static const QString set = QString::fromUtf8(
        "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~"
        "\xC2\xA8\xC3\xA9\xC3\xA8\xC3\xA7\xC3\xA0");
    return set;
}

// A single UTF-16 unit takes the character's own advance; only longer letters need text layout.
int advanceOf(const QFontMetrics &fontMetrics, const QString &letter)
{
    return letter.size() == 1 ? fontMetrics.horizontalAdvance(letter.at(0)) : fontMetrics.horizontalAdvance(letter);
}

Models::Character *newLetter(const QString &value, const QImage &image)
{
    auto *letter = new Models::Character(value, 0.0, 100.0, 0.0, 100.0);
    letter->addPicture(new Models::CharacterPicture(image, 0, 0.0f));
    return letter;
}

} // namespace

QStringList defaultLetters()
{
    QStringList letters;
    for (const QChar c : characterSet()) {
        letters.append(QString(c));
    }
    return letters;
}

QString defaultFontFileName(const QString &family, const QString &style, const QString &size)
{
    QString name = family + QLatin1String("__") + style + QLatin1String("__") + size + QLatin1String(".of");
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return name;
}

bool renderGlyphs(const QFont &font, Models::Font *docFont)
{
    return renderGlyphs(font, defaultLetters(), docFont);
}

bool renderGlyphs(const QFont &font, const QStringList &letters, Models::Font *docFont)
{
    const QFontMetrics fontMetrics(font);

    qint64 pixels = 0;
    for (const QString &letter : letters) {
        pixels += qint64(qMax(0, advanceOf(fontMetrics, letter))) * qMax(0, fontMetrics.height());
    }
    if (pixels > maxGlyphPixels) {
        return false;
    }

    int widthSum = 0;
    int heightSum = 0;
    int count = 0;
    for (const QString &letter : letters) {
        const int w = advanceOf(fontMetrics, letter);
        const int h = fontMetrics.height();

        QImage img(w, h, QImage::Format_ARGB32);
        img.fill(qRgba(255, 255, 255, 0));
        {
            QPainter p(&img);
            p.setFont(font);
            p.setPen(QPen(QColor(Qt::black)));
            p.drawText(0, fontMetrics.ascent(), letter);
        }
        // Wrapped once the painter is done: an image copied while painting is active is copied pixel by pixel.
        docFont->addCharacter(newLetter(letter, img));

        widthSum += w;
        heightSum += h;
        ++count;
    }

    // No letters at all (every one left out) gives an empty space image rather than a division by zero.
    QImage spaceImg(count ? widthSum / count : 0, count ? heightSum / count : 0, QImage::Format_ARGB32);
    spaceImg.fill(0);
    docFont->addCharacter(newLetter(QStringLiteral(" "), spaceImg));
    return true;
}

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename)
{
    return produceFontFile(font, fontName, outputFilename, defaultLetters());
}

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters)
{
    Models::Font docFont(fontName);
    if (!renderGlyphs(font, letters, &docFont)) {
        std::cerr << "Warning: glyphs too large for output font file: " << outputFilename.toStdString() << "\n";
        return false;
    }
    return IOManager::FontFileManager::fontToFile(&docFont, outputFilename);
}

MainWindow::MainWindow()
    : QWidget(nullptr)
{
    auto *fontLabel = new QLabel(tr("Font:"), this);
    fontCombo = new QFontComboBox(this);
    auto *sizeLabel = new QLabel(tr("Size:"), this);
    sizeCombo = new QComboBox(this);
    auto *styleLabel = new QLabel(tr("Style:"), this);
    styleCombo = new QComboBox(this);
    auto *outputLabel = new QLabel(tr("Output file: "), this);
    outputEdit = new QLineEdit(this);
    browseButton = new QPushButton(tr("..."), this);
    runButton = new QPushButton(tr("run"), this);
    statusBar = new QStatusBar(this);

    auto *fontRow = new QHBoxLayout;
    fontRow->addWidget(fontLabel);
    fontRow->addWidget(fontCombo);
    fontRow->addWidget(sizeLabel);
    fontRow->addWidget(sizeCombo);
    fontRow->addWidget(styleLabel);
    fontRow->addWidget(styleCombo);

    auto *outputRow = new QHBoxLayout;
    outputRow->addWidget(outputLabel);
    outputRow->addWidget(outputEdit);
    outputRow->addWidget(browseButton);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addLayout(fontRow);
    mainLayout->addLayout(outputRow);
    mainLayout->addWidget(runButton);
    mainLayout->addWidget(statusBar);

    sizeCombo->addItem(QString::number(defaultPointSize));

    // Until its index first changes, the combo's current font is the application's default font, which
    // need not be the family it shows (nor an installed family at all); make the two agree.
    if (!fontCombo->currentText().isEmpty() && fontCombo->currentFont().family() != fontCombo->currentText()) {
        fontCombo->setCurrentFont(QFont(fontCombo->currentText()));
    }
    // Before the connections, so that filling the lists starts no other slot.
    changeFont(fontCombo->currentFont());

    connect(fontCombo, &QFontComboBox::currentFontChanged, this, &MainWindow::changeFont);
    connect(sizeCombo, &QComboBox::currentTextChanged, this, &MainWindow::updateOutputFilename);
    connect(styleCombo, &QComboBox::currentTextChanged, this, &MainWindow::updateOutputFilename);
    connect(outputEdit, &QLineEdit::textChanged, this, &MainWindow::updateProcess);
    connect(browseButton, &QPushButton::clicked, this, &MainWindow::chooseOutputFilename);
    connect(runButton, &QPushButton::clicked, this, &MainWindow::produceOutput);

    updateOutputFilename();
    updateProcess();
    statusBar->showMessage(tr("Ready"));
}

MainWindow::~MainWindow() = default;

void MainWindow::changeFont(const QFont &font)
{
    fillStyles(font);
    fillSizes(font);
    setOutputFilenameFor(font);
}

void MainWindow::chooseOutputFilename()
{
    QString filename = makeOutputFilename(fontCombo->currentFont());
    filename = QFileDialog::getSaveFileName(this, tr("Output OF filename"), filename, tr("OF files (*.of)"));
    if (!filename.isEmpty()) {
        outputEdit->setText(filename);
    }
}

void MainWindow::updateProcess()
{
    runButton->setEnabled(false);
    std::cerr << "updateProcess text=" << outputEdit->text().toStdString() << "\n";
    if (!outputEdit->text().isEmpty()) {
        runButton->setEnabled(true);
    }
}

void MainWindow::produceOutput()
{
    const QString filename = outputEdit->text();
    QFontDatabase fontDatabase;
    const QFont font = fontDatabase.font(fontCombo->currentFont().family(), styleCombo->currentText(),
                                         sizeCombo->currentText().toInt(nullptr, 10));
    const QString fontName = makeOutputFilename(font);
    if (produceFontFile(font, fontName, filename)) {
        statusBar->showMessage(tr("saved %1").arg(filename), 2000);
    } else {
        // No timeout: a failure stays in view until the next message.
        statusBar->showMessage(tr("unable to save %1").arg(filename));
    }
}

void MainWindow::updateOutputFilename()
{
    setOutputFilenameFor(fontCombo->currentFont());
}

void MainWindow::fillStyles(const QFont &font)
{
    const QString currentItem = styleCombo->currentText();
    styleCombo->clear();
    QFontDatabase fontDatabase;
    const QStringList styles = fontDatabase.styles(font.family());
    for (const QString &style : styles) {
        styleCombo->addItem(style);
    }
    const int index = styleCombo->findText(currentItem, Qt::MatchExactly | Qt::MatchCaseSensitive);
    styleCombo->setCurrentIndex(index >= 0 ? index : 0);
}

void MainWindow::fillSizes(const QFont &font)
{
    const QString currentSize = sizeCombo->currentText();
    {
        const QSignalBlocker blocker(sizeCombo);
        sizeCombo->clear();
        QFontDatabase fontDatabase;
        const QString style = fontDatabase.styleString(font);
        if (fontDatabase.isSmoothlyScalable(font.family(), style)) {
            const QList<int> sizes = QFontDatabase::standardSizes();
            for (const int size : sizes) {
                sizeCombo->addItem(QString::number(size));
                sizeCombo->setEditable(true);
            }
        } else {
            const QList<int> sizes = fontDatabase.smoothSizes(font.family(), style);
            for (const int size : sizes) {
                sizeCombo->addItem(QString::number(size));
                sizeCombo->setEditable(false);
            }
        }
    }
    const int index = sizeCombo->findText(currentSize, Qt::MatchExactly | Qt::MatchCaseSensitive);
    sizeCombo->setCurrentIndex(index >= 0 ? index : qMax(0, (sizeCombo->count() * 2) / 3));
}

void MainWindow::setOutputFilenameFor(const QFont &font)
{
    QString outputFilename = makeOutputFilename(font);
    const QString currentOutputFilename = outputEdit->text();
    std::cerr << "outputFilename=" << outputFilename.toStdString() << "\n";
    std::cerr << "currentOutputFilename=" << currentOutputFilename.toStdString() << "\n";
    if (!currentOutputFilename.isEmpty()) {
        outputFilename = QFileInfo(currentOutputFilename).dir().absoluteFilePath(outputFilename);
        std::cerr << "=> outputFilename=" << outputFilename.toStdString() << "\n";
    }
    outputEdit->setText(outputFilename);
}

QString MainWindow::makeOutputFilename(const QFont &font) const
{
    return defaultFontFileName(font.family(), styleCombo->currentText(), sizeCombo->currentText());
}
