#ifndef ADDEDFONTFILES_H
#define ADDEDFONTFILES_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

/**
 * Font files added to Qt's font database, and which of them stand behind each entry of the font list.
 * Qt lists a family that an added file shares with an installed font once per foundry ("DejaVu Sans [PfEd]",
 * "DejaVu Sans [1ASC]"), or merges the file into the installed entry when the foundry is the same; the
 * faces behind an entry are matched to the files by their names, tables and outlines.
 */
class AddedFontFiles
{
public:
    /** Where the faces of one font-list entry come from. */
    struct Origin {
        /** Some style of the entry is drawn from an installed font. */
        bool installed = false;
        /** The added files that draw the others. */
        QStringList files;
    };

    /** Adds the font file at path to Qt's font database; false when Qt cannot load it. */
    bool add(const QString &path);
    /** The families the file at path brought, as Qt names them in the file; empty for a file not added. */
    QStringList familiesOf(const QString &path) const;
    /** The font-list entries with a face from the file at path, in the order of the list. */
    QStringList entriesOf(const QString &path) const;
    /** Whether entry is a family that an added file brings, or one that shares its name with such a family. */
    bool concerns(const QString &entry) const;
    /** Where entry's faces come from; meaningful for the entries concerns() accepts. */
    Origin origin(const QString &entry) const;

private:
    struct File {
        QString path;
        QStringList families;
        QByteArray fingerprint;
    };

    void findOrigins() const;

    QVector<File> m_files;
    // Family names, without foundry, before the first file was added: what is installed.
    QStringList m_installed;
    // Found when first asked for after an addition: a batch of files pays for it once.
    mutable bool m_originsFound = true;
    mutable QStringList m_entries;
    mutable QHash<QString, Origin> m_origins;
};

#endif // ADDEDFONTFILES_H
