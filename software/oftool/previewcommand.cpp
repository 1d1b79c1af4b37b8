#include "previewcommand.h"

#include "charset.h"
#include "cli.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QBrush>
#include <QCommandLineParser>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QSet>

#include <cstdio>

namespace {

const char *const command = "preview";
// A French pangram, which also shows the accented letters the window draws.
const QString defaultText = QStringLiteral("Portez ce vieux whisky au juge blond qui fume : voil\u00E0, \u00E7a, p\u00E8re, \u00E9t\u00E9");
const QString labelFamily = QStringLiteral("DejaVu Sans");
constexpr int maxScale = 16;
constexpr int maxTextLength = 1000;
// 64 Mpixels is 256 MB of sheet; a font that needs more is better looked at in pieces.
constexpr qint64 maxSheetSide = 16384;
constexpr qint64 maxSheetPixels = 64LL * 1024 * 1024;

// Layout in sheet pixels; the tests rely on it.
constexpr int margin = 16;
constexpr int headerHeight = 24;
constexpr int labelHeight = 30;
constexpr int minCellWidth = 64;
constexpr int gap = 8;
constexpr int maxColumns = 16;
constexpr int minTextWidth = 640;
constexpr int checkerSquare = 4;
constexpr QRgb checkerLight = 0xfff0f0f0;
constexpr QRgb checkerDark = 0xffd0d0d0;

struct Cell {
    QString letter;
    QImage image;
    bool missing = false;
};

struct Glyph {
    QImage image;   // null for a gap
    bool missing = false;
    int width = 0;  // on the sheet
};

QBrush checkerBrush()
{
    QImage tile(2 * checkerSquare, 2 * checkerSquare, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            tile.setPixel(x, y, ((x / checkerSquare + y / checkerSquare) % 2) ? checkerDark : checkerLight);
        }
    }
    return QBrush(tile);
}

/*
 * Draws an image scaled without smoothing, so each glyph pixel is a square of the
 * sheet, on the checkerboard; a gap is an outlined box, crossed for a null image.
 */
void drawGlyph(QPainter &painter, const QRect &box, const QImage &image, bool missing)
{
    if (!image.isNull()) {
        painter.fillRect(box, checkerBrush());
        painter.drawImage(box, image);
        return;
    }
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    painter.setBrush(Qt::NoBrush);
    const QRect outline = box.adjusted(0, 0, -1, -1);
    painter.drawRect(outline);
    if (!missing) {
        painter.drawLine(outline.topLeft(), outline.bottomRight());
        painter.drawLine(outline.bottomLeft(), outline.topRight());
    }
}

void drawLabel(QPainter &painter, const QRect &area, const QString &text, const QColor &colour)
{
    painter.setPen(colour);
    const QString elided = painter.fontMetrics().elidedText(text, Qt::ElideRight, area.width());
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop, elided);
}

/*
 * The start of a letter that a label of this width can show, so that a letter of megabytes is not
 * laid out whole to show ten characters: the label font moves the pen by at least 2 pixels for
 * every character that moves it at all, so what lies beyond would be elided anyway.
 */
QString labelPart(const QString &letter, int width)
{
    const int codePoints = width / 2 + 2;
    int end = 0;
    for (int i = 0; i < codePoints && end < letter.size(); ++i) {
        end += letter.at(end).isHighSurrogate() && end + 1 < letter.size() && letter.at(end + 1).isLowSurrogate() ? 2 : 1;
    }
    return letter.left(end);
}

bool parseScale(const QString &text, int *scale)
{
    bool ok = false;
    *scale = text.toInt(&ok, 10);
    return ok && *scale >= 1 && *scale <= maxScale;
}

} // namespace

int runPreview(int argc, char **argv)
{
    Cli::preferOffscreen();
    Cli::dropRuntimeDirWarning();
    const QStringList arguments = Cli::arguments(argc, argv);
    const Cli::CommandApplication<QGuiApplication> app(argv[0]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws an OF font file as a PNG sheet: every letter's first picture in a grid, with its character\n"
        "and code point under it, transparent pixels on a light checkerboard, then a sample text set from\n"
        "the glyph images side by side, standing on their bottom edges. Characters of the sample text that\n"
        "the font lacks appear as outlined boxes, in the text and at the end of the grid; a picture with a\n"
        "null image is a crossed box.\n"
        "\n"
        "Examples:\n"
        "  oftool preview DejaVu_Sans__Book__32.of -o sheet.png\n"
        "  oftool preview small.of -o sheet.png --scale 3 --text \"Hello, world\"\n"
        "\n"
        "Exit status: 0 sheet written, 1 usage error, 2 the font could not be read or the sheet not written."));
    parser.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The PNG file to write."), QStringLiteral("sheet.png")},
        {QStringLiteral("text"), QStringLiteral("Sample text (default: a pangram with \u00E0\u00E7\u00E8\u00E9; \"\" for none)."),
         QStringLiteral("text")},
        {QStringLiteral("scale"), QStringLiteral("Sheet pixels per glyph pixel, 1 to %1 (default: 1).").arg(maxScale),
         QStringLiteral("N")},
    });
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The OF font file."));
    const Cli::Parsed parsed =
        Cli::parse(parser, command, QStringLiteral("oftool preview FILE -o sheet.png [--text TEXT] [--scale N]"), arguments);
    if (parsed != Cli::Parsed::Run) {
        return parsed == Cli::Parsed::Done ? Cli::exitOk : Cli::exitUsage;
    }
    QStringList positional;
    if (!Cli::takeArguments(parser, command, {QStringLiteral("FILE")}, &positional)) {
        return Cli::exitUsage;
    }
    const QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty()) {
        return Cli::usageError(command, QStringLiteral("-o: no output file given (for example -o sheet.png)"));
    }
    int scale = 1;
    if (parser.isSet(QStringLiteral("scale")) && !parseScale(parser.value(QStringLiteral("scale")), &scale)) {
        return Cli::usageError(command, QStringLiteral("--scale: \"%1\" is not a whole number from 1 to %2")
                                            .arg(parser.value(QStringLiteral("scale"))).arg(maxScale));
    }
    const QString text = parser.isSet(QStringLiteral("text")) ? parser.value(QStringLiteral("text")) : defaultText;
    const QVector<uint> textCodePoints = Cli::codePointsOf(text);
    if (textCodePoints.size() > maxTextLength) {
        return Cli::usageError(command, QStringLiteral("--text: %1 characters; at most %2 fit a sheet")
                                            .arg(textCodePoints.size()).arg(maxTextLength));
    }

    const QString path = positional.first();
    const Cli::FontInput input = Cli::readFont(path);
    if (!input.error.isEmpty()) {
        return Cli::failure(command, QStringLiteral("%1: %2").arg(path, input.error));
    }
    for (const QString &warning : input.warnings) {
        std::fprintf(stderr, "oftool preview: %s: %s\n", path.toUtf8().constData(), warning.toUtf8().constData());
    }
    const Models::Font &font = *input.font;

    QVector<Cell> cells;
    qint64 glyphWidth = 0;
    qint64 glyphHeight = 0;
    qint64 widthSum = 0;
    qint64 heightSum = 0;
    int imageCount = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        Cell cell;
        cell.letter = letter->getCharacterValue();
        if (!letter->getPictures().isEmpty()) {
            cell.image = letter->getPictures().first()->getImage();
        }
        if (!cell.image.isNull()) {
            glyphWidth = qMax<qint64>(glyphWidth, cell.image.width());
            glyphHeight = qMax<qint64>(glyphHeight, cell.image.height());
            widthSum += cell.image.width();
            heightSum += cell.image.height();
            ++imageCount;
        }
        cells.append(cell);
    }
    // Gaps take the average glyph size, so they look like a letter that is not there.
    const qint64 gapWidth = imageCount ? qMax<qint64>(1, widthSum / imageCount) : 8;
    const qint64 gapHeight = imageCount ? qMax<qint64>(1, heightSum / imageCount) : 16;
    glyphWidth = qMax(glyphWidth, gapWidth);
    glyphHeight = qMax(glyphHeight, gapHeight);

    QStringList missing;
    for (const char32_t codePoint : textCodePoints) {
        const QString letter = QString::fromUcs4(&codePoint, 1);
        if (!font.getCharacter(letter) && !missing.contains(letter)) {
            missing.append(letter);
            Cell cell;
            cell.letter = letter;
            cell.missing = true;
            cells.append(cell);
        }
    }

    const qint64 boxHeight = glyphHeight * scale;
    const qint64 cellWidth = qMax<qint64>(glyphWidth * scale, minCellWidth);
    const qint64 cellHeight = boxHeight + labelHeight;
    const qint64 columns = qMin<qint64>(cells.size(), maxColumns);
    const qint64 rows = columns ? (cells.size() + columns - 1) / columns : 0;
    const qint64 gridWidth = columns ? columns * cellWidth + (columns - 1) * gap : 0;
    const qint64 gridHeight = rows ? rows * cellHeight + (rows - 1) * gap : 0;

    // The sample text, broken into lines no wider than the grid (or minTextWidth).
    QVector<QVector<Glyph>> lines;
    const qint64 lineLimit = qMax<qint64>(gridWidth, minTextWidth);
    qint64 lineWidth = 0;
    qint64 textWidth = 0;
    for (const char32_t codePoint : textCodePoints) {
        const Models::Character *letter = font.getCharacter(QString::fromUcs4(&codePoint, 1));
        Glyph glyph;
        if (letter && !letter->getPictures().isEmpty()) {
            glyph.image = letter->getPictures().first()->getImage();
        }
        glyph.missing = !letter;
        const qint64 width = (glyph.image.isNull() ? gapWidth : glyph.image.width()) * scale;
        glyph.width = int(qMin<qint64>(width, maxSheetSide));
        if (lines.isEmpty() || (lineWidth > 0 && lineWidth + width > lineLimit)) {
            lines.append(QVector<Glyph>());
            lineWidth = 0;
        }
        lines.last().append(glyph);
        lineWidth += width;
        textWidth = qMax(textWidth, lineWidth);
    }
    const qint64 textHeight = lines.isEmpty() ? 0 : lines.size() * boxHeight + (lines.size() - 1) * gap;

    const qint64 sheetWidth = 2 * margin + qMax(gridWidth, textWidth);
    const qint64 sheetHeight = 2 * margin + headerHeight + gridHeight + (lines.isEmpty() ? 0 : 2 * gap + textHeight);
    if (sheetWidth > maxSheetSide || sheetHeight > maxSheetSide || sheetWidth * sheetHeight > maxSheetPixels) {
        return Cli::failure(command, QStringLiteral("the sheet would be %1 x %2 pixels, more than this tool draws; "
                                                    "use a smaller --scale or a shorter --text")
                                         .arg(sheetWidth).arg(sheetHeight));
    }

    QImage sheet(int(sheetWidth), int(sheetHeight), QImage::Format_RGB32);
    if (sheet.isNull()) {
        return Cli::failure(command, QStringLiteral("not enough memory for a %1 x %2 sheet").arg(sheetWidth).arg(sheetHeight));
    }
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setBrushOrigin(0, 0);

    QFont headerFont(labelFamily);
    headerFont.setPixelSize(13);
    headerFont.setBold(true);
    painter.setFont(headerFont);
    int pictureCount = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        pictureCount += letter->pictureCount();
    }
    drawLabel(painter, QRect(margin, margin, int(sheetWidth) - 2 * margin, headerHeight),
              QStringLiteral("%1 \u2014 %2 letters, %3 pictures").arg(font.getName()).arg(font.getCharacters().size()).arg(pictureCount),
              QColor(0x20, 0x20, 0x20));

    QFont labelFont(labelFamily);
    labelFont.setPixelSize(11);
    painter.setFont(labelFont);
    const int top = margin + headerHeight;
    for (int i = 0; i < cells.size(); ++i) {
        const Cell &cell = cells.at(i);
        const int x = margin + int((i % columns) * (cellWidth + gap));
        const int y = top + int((i / columns) * (cellHeight + gap));
        const QSize size = cell.image.isNull() ? QSize(int(gapWidth), int(gapHeight)) : cell.image.size();
        const QRect box(x + int(cellWidth - size.width() * scale) / 2, y + int(boxHeight) - size.height() * scale,
                        size.width() * scale, size.height() * scale);
        drawGlyph(painter, box, cell.image, cell.missing);
        const QRect firstLine(x, y + int(boxHeight) + 2, int(cellWidth), labelHeight / 2);
        const QRect secondLine = firstLine.translated(0, labelHeight / 2 - 1);
        const QColor colour = cell.missing ? QColor(0xb0, 0x30, 0x30) : QColor(0x30, 0x30, 0x30);
        const QString shown = labelPart(cell.letter, int(cellWidth));
        const QString label = Cli::letterLabel(shown);
        const QString codePoints = Cli::codePoints(shown);
        // A space or a control has no face; its code point on the second line says it all.
        drawLabel(painter, firstLine, label == codePoints ? QString() : label, colour);
        drawLabel(painter, secondLine, cell.missing ? QStringLiteral("missing") : codePoints, colour);
    }

    int y = top + int(gridHeight) + 2 * gap;
    for (const QVector<Glyph> &line : qAsConst(lines)) {
        int x = margin;
        for (const Glyph &glyph : line) {
            const int height = (glyph.image.isNull() ? int(gapHeight) : glyph.image.height()) * scale;
            drawGlyph(painter, QRect(x, y + int(boxHeight) - height, glyph.width, height), glyph.image, glyph.missing);
            x += glyph.width;
        }
        y += int(boxHeight) + gap;
    }
    painter.end();

    QString error;
    if (!Cli::savePng(sheet, output, &error)) {
        const QString reason = Cli::cannotWrite(output, output);
        return Cli::failure(command, reason.isEmpty() ? error : reason);
    }
    std::printf("%s: %d x %d pixels, %d letters\n", output.toUtf8().constData(), sheet.width(), sheet.height(),
                int(font.getCharacters().size()));
    if (!missing.isEmpty()) {
        QStringList names;
        for (const QString &letter : qAsConst(missing)) {
            names.append(QStringLiteral("%1 (%2)").arg(Cli::codePoints(letter), letter));
        }
        std::printf("not in the font: %s\n", names.join(QStringLiteral(", ")).toUtf8().constData());
    }
    return Cli::exitOk;
}
