#ifndef IOMANAGER_DIAGNOSTIC_H
#define IOMANAGER_DIAGNOSTIC_H

#include "quillmeremakefont_export.h"

#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

namespace IOManager {

/** One thing that reading a font file or importing a directory of glyph images ran into. */
class QMF_EXPORT Diagnostic
{
public:
    enum Kind {
        // Reading an OF font file; path() is the file.
        CannotOpen,           ///< the file cannot be opened; no font is returned
        Malformed,            ///< not well-formed XML, or a document type declaration: read up to there
        NotAFont,             ///< the document element is not "font"
        LetterWithoutPicture, ///< a letter without any picture was left out
        PixelCountMismatch,   ///< the pixel list does not hold width x height values: null image
        UnknownPictureFormat, ///< "format" is no QImage::Format: null image
        PictureTooLarge,      ///< the picture does not fit in memory: null image
        // Importing a directory; path() is the glyph image. A refused image becomes a null image.
        GlyphNotRegularFile,    ///< a FIFO, a device or another special file
        GlyphUnsupportedFormat, ///< content other than PNG, JPEG or BMP
        GlyphTooLarge,          ///< larger than 4096 x 4096 pixels
        GlyphBudgetExceeded,    ///< would take the import's images past 1 GiB
        GlyphCutShort,          ///< a BMP holding fewer rows than its header declares
        GlyphDamaged,           ///< the decoder failed
        GlyphNameRefused,       ///< the name does not follow the rule of GlyphFileName; text() says why
        GlyphCodeRead,          ///< a u+XXXX letter field was read as letter(); text() is the XXXX as written
        GlyphTooManyScans,      ///< a progressive JPEG of more than 64 scans, each of which costs a full decode pass
    };

    /** A null text stands for the kind's own text, such as "pixel count does not match picture size". */
    Diagnostic(Kind kind, const QString &path, const QString &letter = QString(), const QString &text = QString());

    Kind kind() const { return m_kind; }
    QString text() const { return m_text; }
    /** The letter concerned; null when none is. */
    QString letter() const { return m_letter; }
    QString path() const { return m_path; }

    /** For Malformed: the XML reader's own error text; null otherwise. */
    QString readerError() const { return m_readerError; }
    /** For Malformed: where the XML reader stopped, counting from 1; 0 otherwise. */
    qint64 lineNumber() const { return m_lineNumber; }
    qint64 columnNumber() const { return m_columnNumber; }
    /** Sets what readerError(), lineNumber() and columnNumber() give; text() and standardLine() stay. */
    void setReaderError(const QString &error, qint64 lineNumber, qint64 columnNumber);

    /** Whether pixels that the file or image holds are missing from the font because of it. */
    bool losesPixels() const;

    /**
     * The line that the functions without a sink write for it, such as "Warning: picture too large in
     * input font file: PATH\n"; empty for kinds they pass over in silence (NotAFont, GlyphNameRefused)
     * and for GlyphCodeRead, which they write through qDebug().
     */
    QString standardLine() const;

private:
    Kind m_kind;
    QString m_text;
    QString m_letter;
    QString m_path;
    QString m_readerError;
    qint64 m_lineNumber = 0;
    qint64 m_columnNumber = 0;
};

/** Receives diagnostics as they arise, so that a flood of them need not be stored. */
using DiagnosticSink = std::function<void(const Diagnostic &)>;

/**
 * Writes a diagnostic as the functions without a sink do: its standardLine() to std::cerr, and
 * GlyphCodeRead through qDebug().
 */
QMF_EXPORT void printDiagnostic(const Diagnostic &diagnostic);

/** Keeps the first diagnostics in full and counts all of them by kind. */
class QMF_EXPORT DiagnosticCollector
{
public:
    explicit DiagnosticCollector(int keep = 100);

    /** A sink adding to this collector, which must outlive every call that uses it. */
    DiagnosticSink sink();
    void add(const Diagnostic &diagnostic);

    /** The first diagnostics, at most as many as the constructor was given. */
    const QVector<Diagnostic> &kept() const { return m_kept; }
    qint64 count(Diagnostic::Kind kind) const { return m_counts.value(kind); }
    qint64 total() const { return m_total; }
    /** Whether any diagnostic added so far lost pixels. */
    bool lostPixels() const { return m_lostPixels; }

private:
    int m_keep;
    QVector<Diagnostic> m_kept;
    QMap<Diagnostic::Kind, qint64> m_counts;
    qint64 m_total = 0;
    bool m_lostPixels = false;
};

} // namespace IOManager

Q_DECLARE_TYPEINFO(IOManager::Diagnostic, Q_MOVABLE_TYPE);

#endif // IOMANAGER_DIAGNOSTIC_H
