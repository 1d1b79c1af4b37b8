#ifndef FORMATS_SFNT_H
#define FORMATS_SFNT_H

#include <QByteArray>
#include <QString>
#include <QVector>

/* The table directories of TrueType and OpenType files and collections, read from their bytes. */
namespace Sfnt {

struct Table {
    QByteArray tag;
    quint32 offset = 0; // from the start of the file
    quint32 length = 0;
};

using Face = QVector<Table>;

/** Whether data starts like a TrueType or OpenType font or collection. */
bool isSfnt(const QByteArray &data);

/**
 * The faces of data, one for a single font, one per member of a collection. False with a reason
 * when a directory or a table lies beyond the end of the data, or there are no faces.
 */
bool readFaces(const QByteArray &data, QVector<Face> *faces, QString *error);

/** The bytes of the table tagged tag in face; null when it has none. */
QByteArray table(const QByteArray &data, const Face &face, const QByteArray &tag);

/** The family the name table gives (typographic family first, Windows English first), empty when none. */
QString familyName(const QByteArray &nameTable);

/** The style the name table gives (typographic subfamily first, Windows English first), empty when none. */
QString styleName(const QByteArray &nameTable);

/**
 * A single font holding face's tables, its name table saying family instead of its own family
 * and full names, so that the font database can tell it from an installed font of the same name.
 */
QByteArray renamedFont(const QByteArray &data, const Face &face, const QString &family);

} // namespace Sfnt

#endif // FORMATS_SFNT_H
