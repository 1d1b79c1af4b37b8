#include "iomanager/diagnostic.h"

#include <QDebug>

#include <iostream>
#include <string>

namespace IOManager {

namespace {

QString ownText(Diagnostic::Kind kind, const QString &letter)
{
    switch (kind) {
    case Diagnostic::CannotOpen:
        return QStringLiteral("unable to open");
    case Diagnostic::Malformed:
        return QStringLiteral("malformed");
    case Diagnostic::NotAFont:
        return QStringLiteral("the document element is not \"font\"");
    case Diagnostic::LetterWithoutPicture:
        return QLatin1String("No picture found for letter \"") + letter + QLatin1Char('"');
    case Diagnostic::PixelCountMismatch:
        return QStringLiteral("pixel count does not match picture size");
    case Diagnostic::UnknownPictureFormat:
        return QStringLiteral("unknown picture format");
    case Diagnostic::PictureTooLarge:
        return QStringLiteral("picture too large");
    case Diagnostic::GlyphNotRegularFile:
        return QStringLiteral("glyph image not a regular file, not loaded");
    case Diagnostic::GlyphUnsupportedFormat:
        return QStringLiteral("glyph image not in PNG, JPEG or BMP format, not loaded");
    case Diagnostic::GlyphTooLarge:
        return QStringLiteral("glyph image larger than 4096 x 4096 pixels, not loaded");
    case Diagnostic::GlyphBudgetExceeded:
        return QStringLiteral("glyph images of more than 1 GiB in one import, not loaded");
    case Diagnostic::GlyphCutShort:
        return QStringLiteral("glyph image cut short, not loaded");
    case Diagnostic::GlyphDamaged:
        return QStringLiteral("glyph image damaged, not loaded");
    case Diagnostic::GlyphNameRefused:
        return QStringLiteral("the name does not follow PREFIX_LETTER_ID.EXT");
    case Diagnostic::GlyphTooManyScans:
        return QStringLiteral("glyph image in more than 64 JPEG scans, not loaded");
    case Diagnostic::GlyphCodeRead:
        break;
    }
    return QString();
}

// What stands between the text and the path in the line of each kind.
const char *pathLead(Diagnostic::Kind kind)
{
    switch (kind) {
    case Diagnostic::CannotOpen:
    case Diagnostic::Malformed:
        return " input font file: ";
    case Diagnostic::LetterWithoutPicture:
        return "\n in font file: ";
    case Diagnostic::PixelCountMismatch:
    case Diagnostic::UnknownPictureFormat:
    case Diagnostic::PictureTooLarge:
        return " in input font file: ";
    case Diagnostic::GlyphNotRegularFile:
    case Diagnostic::GlyphUnsupportedFormat:
    case Diagnostic::GlyphTooLarge:
    case Diagnostic::GlyphBudgetExceeded:
    case Diagnostic::GlyphCutShort:
    case Diagnostic::GlyphDamaged:
    case Diagnostic::GlyphTooManyScans:
        return ": ";
    case Diagnostic::NotAFont:
    case Diagnostic::GlyphNameRefused:
    case Diagnostic::GlyphCodeRead:
        break;
    }
    return nullptr;
}

} // namespace

Diagnostic::Diagnostic(Kind kind, const QString &path, const QString &letter, const QString &text)
    : m_kind(kind)
    , m_text(text.isNull() ? ownText(kind, letter) : text)
    , m_letter(letter)
    , m_path(path)
{
}

void Diagnostic::setReaderError(const QString &error, qint64 lineNumber, qint64 columnNumber)
{
    m_readerError = error;
    m_lineNumber = lineNumber;
    m_columnNumber = columnNumber;
}

bool Diagnostic::losesPixels() const
{
    switch (m_kind) {
    case NotAFont:
    case LetterWithoutPicture:
    case GlyphNameRefused:
    case GlyphCodeRead:
        return false;
    default:
        return true;
    }
}

QString Diagnostic::standardLine() const
{
    const char *lead = pathLead(m_kind);
    if (!lead) {
        return QString();
    }
    return QLatin1String("Warning: ") + m_text + QLatin1String(lead) + m_path + QLatin1Char('\n');
}

void printDiagnostic(const Diagnostic &diagnostic)
{
    if (diagnostic.kind() == Diagnostic::GlyphCodeRead) {
        qDebug() << "\t char = " << diagnostic.letter() << " code= " << diagnostic.text();
        return;
    }
    const QString line = diagnostic.standardLine();
    if (!line.isEmpty()) {
        // One write per line, so that lines of several threads do not interleave.
        std::cerr << line.toStdString();
    }
}

DiagnosticCollector::DiagnosticCollector(int keep)
    : m_keep(keep)
{
}

DiagnosticSink DiagnosticCollector::sink()
{
    return [this](const Diagnostic &diagnostic) { add(diagnostic); };
}

void DiagnosticCollector::add(const Diagnostic &diagnostic)
{
    if (m_kept.size() < m_keep) {
        m_kept.append(diagnostic);
    }
    ++m_counts[diagnostic.kind()];
    ++m_total;
    m_lostPixels = m_lostPixels || diagnostic.losesPixels();
}

} // namespace IOManager
