#ifndef FORMATS_FONTSOURCE_H
#define FORMATS_FONTSOURCE_H

#include <QList>
#include <QString>
#include <QStringList>

/* Where the fonts of a batch come from: installed families, and font files registered with Qt. */
namespace FontSources {

/** One style of one font to render. */
struct Face {
    QString family;      // names the output: the installed family, or the family the file gives
    QString style;
    QString queryFamily; // what the font database knows it as; a file clashing with another font gets a name of its own
    QString queryStyle;  // the database's name of the style; style is the file's own name for it
    QString file;        // empty for an installed family
    int faceIndex = -1;  // the member of a collection file; 0 for a single font, -1 for an installed family
};

/**
 * Registers the font file that spec names ("PATH", or "PATH#N" for the Nth face of a collection)
 * and appends a Face for each style it gives. Only styles whose glyphs demonstrably come from the
 * file are taken: a file whose family is also installed is registered under a name of its own.
 * False with the reason (not a font, truncated, not loaded by Qt, ...) otherwise.
 */
bool addFile(const QString &spec, QList<Face> *faces, QString *error);

/**
 * The font files under directory and its subdirectories, by extension, in name order. Each entry
 * that cannot be used (a name that is not valid text, a loop of links) is added to problems as
 * one line; scanned counts every file looked at.
 */
QStringList filesIn(const QString &directory, QStringList *problems, int *scanned);

/**
 * The family of families (those installed) that name means, or empty: a family in any case, the first name of a
 * comma-separated list as fc-list prints it, or a generic name ("Monospace", "Serif", "Sans")
 * that the font configuration maps to a family.
 */
QString installedFamily(const QStringList &families, const QString &name);

/**
 * The files fontconfig lists for an installed family's style (any style when style is empty; fc-list), for what Qt does not
 * give: the data of a font that is not TrueType or OpenType. Empty when there are none.
 */
QStringList installedFiles(const QString &family, const QString &style);

/** The style picked when none is asked for: Book, Regular, Normal, Roman or Medium, else the first. */
QString defaultStyle(const QStringList &styles);

} // namespace FontSources

#endif // FORMATS_FONTSOURCE_H
