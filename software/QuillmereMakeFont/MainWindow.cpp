#include "MainWindow.h"

#include "GlyphPreview.h"
#include "fontchoice.h"
#include "glyphrenderer.h"
#include "installedfonts.h"
#include "producefontfile.h"
#include "savefailure.h"

#include "iomanager/fontfilemanager.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QRawFont>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include <iostream>
#include <memory>

namespace {

// The size that the size list shows before its first refill.
constexpr int defaultPointSize = 32;

const QString outputDirectoryKey = QStringLiteral("outputDirectory");

QString rememberedDirectory()
{
    return QSettings(QStringLiteral("QuillmereMakeFont"), QStringLiteral("QuillmereMakeFont"))
        .value(outputDirectoryKey)
        .toString();
}

void rememberDirectoryOf(const QString &path)
{
    QSettings(QStringLiteral("QuillmereMakeFont"), QStringLiteral("QuillmereMakeFont"))
        .setValue(outputDirectoryKey, QFileInfo(path).absolutePath());
}

} // namespace

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
    pixelSizeLabel = new QLabel(this);
    glyphPreview = new GlyphPreview(this);
    glyphPreview->setPlaceholderText(tr("The glyphs of the written file appear here after \"run\"."));
    summaryLabel = new QLabel(this);
    statusBar->addWidget(summaryLabel, 1);
    // Made after the other controls, which keep their places among the window's children.
    addFontsButton = new QPushButton(tr("Add font files..."), this);
    setAcceptDrops(true);
    sizeValidator = new SizeValidator(this);
    // Four digits, so that a typed size such as 2000 shows whole.
    sizeCombo->setMinimumContentsLength(4);
    keepPixelSizeWidth();

    layOutControls(fontLabel, sizeLabel, styleLabel, outputLabel);

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
    connect(fontCombo, &QFontComboBox::currentFontChanged, this, &MainWindow::updatePixelSize);
    connect(styleCombo, &QComboBox::currentTextChanged, this, &MainWindow::updatePixelSize);
    connect(sizeCombo, &QComboBox::currentTextChanged, this, &MainWindow::updatePixelSize);
    connect(outputEdit, &QLineEdit::textEdited, this, [this] { outputPathChosen = true; });
    connect(addFontsButton, &QPushButton::clicked, this, &MainWindow::addFontFiles);
    // The preview shows the last run's glyphs only while they are the glyphs of the choice on show.
    connect(fontCombo, &QFontComboBox::currentFontChanged, this, &MainWindow::clearPreview);
    connect(styleCombo, &QComboBox::currentTextChanged, this, &MainWindow::clearPreview);
    connect(sizeCombo, &QComboBox::currentTextChanged, this, &MainWindow::clearPreview);
    connect(outputEdit, &QLineEdit::textChanged, this, &MainWindow::clearPreview);
    connect(fontCombo, &QFontComboBox::currentFontChanged, this, &MainWindow::showFontOrigin);
    fontCombo->view()->viewport()->installEventFilter(this);

    updateOutputFilename();
    updateProcess();
    updatePixelSize();
    statusBar->showMessage(tr("Ready"));
}

MainWindow::~MainWindow() = default;

void MainWindow::layOutControls(QLabel *fontLabel, QLabel *sizeLabel, QLabel *styleLabel, QLabel *outputLabel)
{
    auto *fontRow = new QHBoxLayout;
    fontRow->addWidget(fontLabel);
    fontRow->addWidget(fontCombo);
    fontRow->addWidget(sizeLabel);
    fontRow->addWidget(sizeCombo);
    fontRow->addWidget(pixelSizeLabel);
    fontRow->addWidget(styleLabel);
    fontRow->addWidget(styleCombo);
    // Another source of fonts beside fontCombo: files that are not installed.
    fontRow->addWidget(addFontsButton);

    auto *outputRow = new QHBoxLayout;
    outputRow->addWidget(outputLabel);
    outputRow->addWidget(outputEdit);
    outputRow->addWidget(browseButton);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addLayout(fontRow);
    mainLayout->addLayout(outputRow);
    mainLayout->addWidget(runButton);
    mainLayout->addWidget(glyphPreview, 1);
    mainLayout->addWidget(statusBar);
}

void MainWindow::changeFont(const QFont &font)
{
    fillStyles(font);
    fillSizes(font);
    setOutputFilenameFor(font);
}

void MainWindow::chooseOutputFilename()
{
    QFileDialog dialog(this, tr("Output OF filename"), QString(), tr("OF files (*.of)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Also for a name typed without it; a name with another extension is kept as typed.
    dialog.setDefaultSuffix(QStringLiteral("of"));
    dialog.setDirectory(dialogDirectory());
    dialog.selectFile(makeOutputFilename(fontCombo->currentFont()));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString filename = dialog.selectedFiles().value(0);
    if (!filename.isEmpty()) {
        outputEdit->setText(filename);
        outputPathChosen = true;
        rememberDirectoryOf(filename);
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
    const QString family = fontCombo->currentFont().family();
    const QString style = styleCombo->currentText();
    const QString problem = fontChoiceProblem(family, style, sizeCombo->currentText());
    if (!problem.isEmpty()) {
        reportFailure(filename, problem);
        return;
    }
    const QFont font = InstalledFonts::font(family, style, sizeCombo->currentText().toInt(nullptr, 10));
    const QString fontName = makeOutputFilename(font);
    IOManager::WriteResult written;
    if (!produceFontFile(font, fontName, filename, &written)) {
        reportFailure(filename, saveFailureReason(written));
        return;
    }
    // Read back before the message starts its 2000 ms: reading a large file takes seconds.
    showWritten(filename, font);
    statusBar->showMessage(tr("saved %1").arg(filename), 2000);
    rememberDirectoryOf(filename);
}

void MainWindow::addFontFiles()
{
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Add font files"), QString(),
                                                            tr("Font files (*.ttf *.otf *.ttc *.otc *.pfa *.pfb *.woff *.woff2);;All files (*)"));
    if (!paths.isEmpty()) {
        registerFontFiles(paths);
    }
}

void MainWindow::registerFontFiles(const QStringList &paths)
{
    QStringList addedPaths;
    QStringList refused;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        // Checked first: Qt's font database would wait forever on a FIFO.
        QString reason = !info.exists() ? tr("no such file") : !info.isFile() ? tr("not a regular file")
                         : !info.isReadable() ? tr("not readable") : info.size() == 0 ? tr("an empty file") : QString();
        if (reason.isEmpty()) {
            if (addedFonts.add(path)) {
                addedPaths.append(path);
            } else {
                reason = tr("not a font Qt can load");
            }
        }
        if (!reason.isEmpty()) {
            refused.append(tr("%1: %2").arg(info.fileName(), reason));
        }
    }
    // Named as the font list names them: a family shared with an installed font is listed once per foundry.
    QStringList added;
    for (const QString &path : addedPaths) {
        const QStringList entries = addedFonts.entriesOf(path);
        for (const QString &family : addedFonts.familiesOf(path)) {
            QStringList names;
            for (const QString &entry : entries) {
                if (entry == family || entry.startsWith(family + QLatin1String(" ["))) {
                    names.append(entry);
                }
            }
            for (const QString &name : names.isEmpty() ? QStringList{family} : names) {
                if (!added.contains(name)) {
                    added.append(name);
                }
            }
        }
    }
    if (!added.isEmpty()) {
        const int index = fontCombo->findText(added.first(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            fontCombo->setCurrentFont(QFont(added.first()));
        } else if (index != fontCombo->currentIndex()) {
            fontCombo->setCurrentIndex(index);
        } else {
            // The entry on show, which may have gained styles from the file, and an origin.
            changeFont(fontCombo->currentFont());
            showFontOrigin();
        }
    }
    QStringList message;
    if (!added.isEmpty()) {
        message.append(tr("added %1").arg(added.join(QStringLiteral(", "))));
    }
    if (!refused.isEmpty()) {
        message.append(tr("refused %1").arg(refused.join(QStringLiteral("; "))));
    }
    statusBar->showMessage(message.join(QStringLiteral("; ")));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && watched == fontCombo->view()->viewport()) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString entry = fontCombo->view()->indexAt(help->pos()).data().toString();
        const QString origin = fontOrigin(entry);
        if (origin.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), origin, fontCombo->view()->viewport());
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        registerFontFiles(paths);
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
    const QStringList styles = InstalledFonts::styles(font.family());
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
        QString style = InstalledFonts::styleString(font);
        // The font's own style may be one the family lacks (Normal in a family with Bold alone): then the
        // style chosen in the list says which sizes there are.
        if (!InstalledFonts::isSmoothlyScalable(font.family(), style)
            && InstalledFonts::smoothSizes(font.family(), style).isEmpty()) {
            style = styleCombo->currentText();
        }
        if (InstalledFonts::isSmoothlyScalable(font.family(), style)) {
            const QList<int> sizes = QFontDatabase::standardSizes();
            for (const int size : sizes) {
                sizeCombo->addItem(QString::number(size));
                sizeCombo->setEditable(true);
            }
        } else {
            const QList<int> sizes = InstalledFonts::smoothSizes(font.family(), style);
            for (const int size : sizes) {
                sizeCombo->addItem(QString::number(size));
                sizeCombo->setEditable(false);
            }
        }
    }
    // Made editable afresh, the combo has a new line edit without a validator.
    sizeCombo->setValidator(sizeValidator);
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

void MainWindow::updatePixelSize()
{
    const QString family = fontCombo->currentFont().family();
    const QString style = styleCombo->currentText();
    sizeValidator->setFont(family, style);
    const QFont font = InstalledFonts::font(family, style, defaultPointSize);
    pixelSizeLabel->setText(pixelSizeText(font, sizeCombo->currentText()));
}

void MainWindow::reportFailure(const QString &filename, const QString &reason)
{
    glyphPreview->clear();
    summaryLabel->clear();
    // No timeout: a failure stays in view until the next message.
    statusBar->showMessage(tr("unable to save %1: %2").arg(filename, reason));
}

void MainWindow::showWritten(const QString &filename, const QFont &font)
{
    const QFileInfo file(filename);
    const std::unique_ptr<Models::Font> written(IOManager::FontFileManager::fontFromFile(filename));
    if (!written) {
        glyphPreview->clear();
        summaryLabel->setText(tr("%1: written, but it could not be read back").arg(file.fileName()));
        return;
    }
    // Qt draws a letter the font lacks from another font; oftool render finds them the same way.
    const QRawFont rawFont = QRawFont::fromFont(font);
    QVector<GlyphPreview::Glyph> glyphs;
    int height = 0;
    int lacking = 0;
    for (const Models::Character *letter : written->getCharacters()) {
        GlyphPreview::Glyph glyph;
        glyph.letter = letter->getCharacterValue();
        if (const Models::CharacterPicture *picture = letter->firstPicture()) {
            glyph.image = picture->getImage();
        }
        // The blank " " letter is made by the renderer, not drawn from the font.
        if (glyph.letter != QLatin1String(" ")) {
            const QVector<uint> codePoints = glyph.letter.toUcs4();
            glyph.lacking =
                !rawFont.isValid() || codePoints.isEmpty() || !rawFont.supportsCharacter(codePoints.first());
        }
        lacking += glyph.lacking ? 1 : 0;
        height = qMax(height, glyph.image.height());
        glyphs.append(glyph);
    }
    glyphPreview->setGlyphs(glyphs);

    QString summary = tr("%1: %2 letters, %3 px high, %4")
                          .arg(file.fileName(), QString::number(glyphs.size()), QString::number(height),
                               QLocale().formattedDataSize(file.size()));
    if (lacking > 0) {
        summary += tr(", %n not in the font", nullptr, lacking);
    }
    summaryLabel->setText(summary);
}

QString MainWindow::dialogDirectory() const
{
    const QString fieldDirectory = QFileInfo(outputEdit->text()).absolutePath();
    const QString remembered = rememberedDirectory();
    const QStringList candidates = outputPathChosen ? QStringList{fieldDirectory, remembered}
                                                    : QStringList{remembered, fieldDirectory};
    for (const QString &candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir()) {
            return candidate;
        }
    }
    return QDir::currentPath();
}

void MainWindow::keepPixelSizeWidth()
{
    // As wide as the widest text it shows for a size of four digits, so that the controls beside it stay
    // where they are while the size changes.
    const QFontMetrics metrics = pixelSizeLabel->fontMetrics();
    QChar widestDigit = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widestDigit)) {
            widestDigit = QLatin1Char(digit);
        }
    }
    QString widest = pixelSizeText(QFont(), QStringLiteral("9999"));
    for (QChar &c : widest) {
        if (c.isDigit()) {
            c = widestDigit;
        }
    }
    pixelSizeLabel->setMinimumWidth(metrics.horizontalAdvance(widest));
}

void MainWindow::clearPreview()
{
    glyphPreview->clear();
    summaryLabel->clear();
}

void MainWindow::showFontOrigin()
{
    const QString entry = fontCombo->currentText();
    const QString origin = fontOrigin(entry);
    fontCombo->setToolTip(origin);
    if (!origin.isEmpty()) {
        statusBar->showMessage(tr("%1: %2").arg(entry, origin));
    }
}

QString MainWindow::fontOrigin(const QString &entry) const
{
    if (!addedFonts.concerns(entry)) {
        return QString();
    }
    const AddedFontFiles::Origin origin = addedFonts.origin(entry);
    QStringList parts;
    if (origin.installed) {
        parts.append(tr("installed font"));
    }
    for (const QString &file : origin.files) {
        parts.append(QDir::toNativeSeparators(file));
    }
    return parts.join(QStringLiteral("; "));
}
