#include "addedfontfiles.h"

#include "installedfonts.h"

#include <QDataStream>
#include <QFont>
#include <QFontDatabase>
#include <QPainterPath>
#include <QRawFont>

namespace {

// Outlines are compared at one size, whatever size the font was loaded at.
constexpr qreal fingerprintPixels = 64;

// "DejaVu Sans [PfEd]" without its foundry.
QString familyOf(const QString &entry)
{
    const int bracket = entry.lastIndexOf(QLatin1String(" ["));
    return bracket > 0 && entry.endsWith(QLatin1Char(']')) ? entry.left(bracket) : entry;
}

// What tells one face from another: TrueType and OpenType faces by their tables, Type 1 faces, which
// have none, by their outlines.
QByteArray fingerprint(QRawFont font)
{
    if (!font.isValid()) {
        return QByteArray();
    }
    font.setPixelSize(fingerprintPixels);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    // A face loaded through the font list is named as its entry, foundry and all.
    out << familyOf(font.familyName()) << font.styleName() << font.unitsPerEm();
    for (const char *tag : {"head", "name", "OS/2"}) {
        out << font.fontTable(tag);
    }
    for (const quint32 glyph : font.glyphIndexesForString(QStringLiteral("Ag&"))) {
        out << font.pathForGlyph(glyph);
    }
    return bytes;
}

} // namespace

bool AddedFontFiles::add(const QString &path)
{
    if (m_installed.isEmpty()) {
        for (const QString &entry : InstalledFonts::families()) {
            m_installed.append(familyOf(entry));
        }
    }
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0) {
        return false;
    }
    // Only the first face of a collection can be loaded on its own; the others are known by their families.
    m_files.append({path, QFontDatabase::applicationFontFamilies(id), fingerprint(QRawFont(path, fingerprintPixels))});
    m_originsFound = false;
    return true;
}

QStringList AddedFontFiles::familiesOf(const QString &path) const
{
    for (const File &file : m_files) {
        if (file.path == path) {
            return file.families;
        }
    }
    return QStringList();
}

QStringList AddedFontFiles::entriesOf(const QString &path) const
{
    findOrigins();
    QStringList entries;
    for (const QString &entry : m_entries) {
        if (m_origins.value(entry).files.contains(path)) {
            entries.append(entry);
        }
    }
    return entries;
}

bool AddedFontFiles::concerns(const QString &entry) const
{
    findOrigins();
    return m_origins.contains(entry);
}

AddedFontFiles::Origin AddedFontFiles::origin(const QString &entry) const
{
    findOrigins();
    return m_origins.value(entry);
}

void AddedFontFiles::findOrigins() const
{
    if (m_originsFound) {
        return;
    }
    m_originsFound = true;
    m_entries.clear();
    m_origins.clear();
    for (const QString &entry : InstalledFonts::families()) {
        const QString family = familyOf(entry);
        QVector<const File *> candidates;
        for (const File &file : m_files) {
            if (file.families.contains(family)) {
                candidates.append(&file);
            }
        }
        if (candidates.isEmpty()) {
            continue;
        }
        Origin origin;
        for (const QString &style : InstalledFonts::styles(entry)) {
            const QByteArray face = fingerprint(QRawFont::fromFont(InstalledFonts::font(entry, style, 12)));
            QStringList files;
            for (const File *file : candidates) {
                if (!face.isEmpty() && file->fingerprint == face) {
                    files.append(file->path);
                }
            }
            if (files.isEmpty() && !m_installed.contains(family)) {
                for (const File *file : candidates) {
                    files.append(file->path);
                }
            }
            origin.installed = origin.installed || files.isEmpty();
            for (const QString &file : files) {
                if (!origin.files.contains(file)) {
                    origin.files.append(file);
                }
            }
        }
        m_entries.append(entry);
        m_origins.insert(entry, origin);
    }
}
