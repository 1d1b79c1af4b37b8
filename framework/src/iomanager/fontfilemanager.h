#ifndef IOMANAGER_FONTFILEMANAGER_H
#define IOMANAGER_FONTFILEMANAGER_H

#include "iomanager/diagnostic.h"
#include "iomanager/writeresult.h"
#include "quillmeremakefont_export.h"

#include <QMap>
#include <QString>

class QImage;
class QIODevice;
class QXmlStreamReader;
class QXmlStreamWriter;

namespace Models {
class Character;
class CharacterPicture;
class Font;
}

namespace IOManager {

/*
 * The largest file the anchor update takes. Beyond it one text of the file could pass QString's limit
 * of some 2^30 characters, on which Qt aborts the process. The update holds about three times the
 * file's size while it works.
 */
constexpr qint64 maxAnchorFileBytes = (qint64(1) << 30) - (qint64(1) << 20);

namespace Private {
class ImageArena;
}

/**
 * Reads and writes OF font files; static functions only. The functions that take a sink print
 * nothing and keep no state, so several threads may call them at once.
 */
class FontFileManager
{
public:
    FontFileManager() = delete;

    /**
     * Writes font to filename, replacing any file there only once the whole new
     * file is written. Returns false, with one warning line on std::cerr, when the
     * file cannot be opened, written or committed; an old file is then kept as it was.
     */
    QMF_EXPORT static bool fontToFile(const Models::Font *font, const QString &filename);
    /**
     * The same, printing nothing: result, unless null, is set to what became of the file
     * (WriteResult::Written, CannotOpen or CannotWrite).
     */
    QMF_EXPORT static bool fontToFile(const Models::Font *font, const QString &filename, WriteResult *result);
    /** The line fontToFile() without a result prints for result, such as "Warning: unable to open output font file: PATH\n"; empty when written. */
    QMF_EXPORT static QString fontToFileLine(const WriteResult &result);
    /**
     * Writes font to device, open for writing, in the bytes fontToFile() writes; prints nothing.
     * False when a write failed, and device then holds part of the file. For a caller that
     * makes files durable its own way, such as many at once with one sync.
     */
    QMF_EXPORT static bool fontToDevice(const Models::Font *font, QIODevice *device);

    /**
     * A new font read from filename, owned by the caller, or null when it cannot be opened.
     * Warnings go to std::cerr in the lines printDiagnostic() writes, in blocks of some 64 KB.
     */
    QMF_EXPORT static Models::Font *fontFromFile(const QString &filename);
    /** The same, with every warning, and NotAFont, handed to sink instead. */
    QMF_EXPORT static Models::Font *fontFromFile(const QString &filename, const DiagnosticSink &sink);

    /**
     * A new font, never null and owned by the caller, built from the glyph images in the directory
     * path. A file whose content is not PNG, JPEG or BMP, that is larger than 4096 x 4096 pixels, or
     * that would take the import's images past 1 GiB, is not decoded: its letter gets a picture with a
     * null image, and one warning line goes to std::cerr. Progress lines go to qDebug().
     */
    QMF_EXPORT static Models::Font *fontFromDirectory(const QString &path, const QMap<QString, QString> &substitutions);
    /**
     * The same, printing nothing: warnings, refused names and the letters read from u+XXXX
     * names are handed to sink.
     */
    QMF_EXPORT static Models::Font *fontFromDirectory(const QString &path, const QMap<QString, QString> &substitutions,
                                                      const DiagnosticSink &sink);
    /**
     * Brings image into ARGB32; unless it was ARGB32 already, each pixel's alpha then becomes
     * its darkness, 255 - qGray, so dark ink is opaque and white is transparent.
     */
    QMF_EXPORT static void applyAlphaFromDarkness(QImage &image);

    /**
     * Rewrites baseLine and rightLine of every letter whose "char" is letter; 0 on success, -1 otherwise,
     * with one line on std::cerr unless the file holds no letter.
     */
    QMF_EXPORT static int changeLetterAnchor(const QString &path, double baseLine, double rightLine,
                                             const QString &letter);
    /**
     * The same, printing nothing: result, unless null, is set to what became of the file. A file of more
     * than maxAnchorFileBytes is refused as WriteResult::TooLarge.
     */
    QMF_EXPORT static int changeLetterAnchor(const QString &path, double baseLine, double rightLine,
                                             const QString &letter, WriteResult *result);
    /** The line changeLetterAnchor() without a result prints for result; empty when written and for NoLetter. */
    QMF_EXPORT static QString changeLetterAnchorLine(const WriteResult &result);

private:
    static bool writeLetter(const Models::Character *character, QXmlStreamWriter &writer);
    static bool writePicture(const Models::CharacterPicture *picture, QXmlStreamWriter &writer);
    static Models::Character *readLetter(QXmlStreamReader &reader, const QString &path, const DiagnosticSink &sink,
                                         Private::ImageArena *arena);
    static Models::CharacterPicture *readPicture(QXmlStreamReader &reader, const QString &path, const QString &letter,
                                                 const DiagnosticSink &sink, Private::ImageArena *arena);
};

} // namespace IOManager

#endif // IOMANAGER_FONTFILEMANAGER_H
