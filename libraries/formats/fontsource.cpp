#include "fontsource.h"

#include "sfnt.h"
#include "textencoding.h"

#include "installedfonts.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QProcess>
#include <QRawFont>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace FontSources {

namespace {

// Beyond this a file is no font anyone renders, and QByteArray could not hold it.
constexpr qint64 maxFileSize = qint64(1) << 30;

const QStringList fontExtensions{QStringLiteral("ttf"), QStringLiteral("otf"), QStringLiteral("ttc"), QStringLiteral("otc"),
                                 QStringLiteral("pfa"), QStringLiteral("pfb"), QStringLiteral("t1"), QStringLiteral("woff"),
                                 QStringLiteral("woff2")};

// The font files registered so far by family, to name the one a later file clashes with.
QHash<QString, QString> &registeredFiles()
{
    static QHash<QString, QString> files;
    return files;
}

// What a file holds, from its first bytes; empty when no font Qt loads starts that way.
QString kindOf(const QByteArray &head)
{
    if (Sfnt::isSfnt(head)) {
        return QStringLiteral("sfnt");
    }
    if (head.startsWith("wOFF") || head.startsWith("wOF2")) {
        return QStringLiteral("WOFF");
    }
    if (head.startsWith("\x80\x01") || head.startsWith("%!PS-AdobeFont") || head.startsWith("%!FontType1")) {
        return QStringLiteral("Type 1");
    }
    return QString();
}

// Whether the glyphs of raw come from face: the tables that make them are the face's own.
bool drawsFrom(const QRawFont &raw, const QByteArray &data, const Sfnt::Face &face)
{
    int compared = 0;
    // "head" first: it tells the faces of a collection apart before any large table is compared.
    for (const char *tag : {"head", "name", "cmap", "hmtx", "maxp", "glyf", "CFF ", "CFF2"}) {
        const QByteArray own = Sfnt::table(data, face, tag);
        if (own.isNull()) {
            continue;
        }
        if (raw.fontTable(tag) != own) {
            return false;
        }
        ++compared;
    }
    return compared > 0;
}

// The styles of the fonts registered as id, each under the member of members its glyphs come from. Each style
// is loaded once and the family list is the database's, which names a family once per face that has it.
QVector<QList<Face>> facesByMember(int id, const QByteArray &data, const QVector<Sfnt::Face> &members)
{
    QVector<QList<Face>> found(members.size());
    QStringList families = QFontDatabase::applicationFontFamilies(id);
    families.removeDuplicates();
    for (const QString &family : qAsConst(families)) {
        for (const QString &style : InstalledFonts::styles(family)) {
            const QRawFont raw = QRawFont::fromFont(InstalledFonts::font(family, style, 12));
            for (int index = 0; raw.isValid() && index < members.size(); ++index) {
                if (drawsFrom(raw, data, members.at(index))) {
                    found[index].append(Face{family, style, family, style, QString(), -1});
                    break;
                }
            }
        }
    }
    return found;
}

// The faces of an sfnt file; a face that another font hides is registered again under a name of its own.
bool addSfnt(const QString &path, const QByteArray &data, int wanted, QList<Face> *faces, QString *error)
{
    QVector<Sfnt::Face> members;
    if (!Sfnt::readFaces(data, &members, error)) {
        return false;
    }
    if (wanted >= members.size()) {
        *error = QStringLiteral("has no face %1; it has %2 (0 to %3)").arg(wanted).arg(members.size()).arg(members.size() - 1);
        return false;
    }
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0) {
        *error = QStringLiteral("Qt's font database does not load it");
        return false;
    }
    const QVector<QList<Face>> drawn = facesByMember(id, data, members);
    QStringList refused;
    for (int index = wanted < 0 ? 0 : wanted; index <= (wanted < 0 ? members.size() - 1 : wanted); ++index) {
        QList<Face> found = drawn.at(index);
        if (found.isEmpty()) {
            static int renamed = 0;
            const QString own = QStringLiteral("oftool font file %1").arg(++renamed);
            const QByteArray copy = Sfnt::renamedFont(data, members.at(index), own);
            QVector<Sfnt::Face> copyFaces;
            const int copyId = QFontDatabase::addApplicationFontFromData(copy);
            if (copyId >= 0 && Sfnt::readFaces(copy, &copyFaces, error)) {
                found = facesByMember(copyId, copy, copyFaces).value(0);
            }
        }
        if (found.isEmpty()) {
            refused.append(QString::number(index));
        }
        // The file's own names, not those of a font the database groups it with; the styles of a
        // variable font's instances keep the database's names, which tell them apart.
        const QByteArray names = Sfnt::table(data, members.at(index), "name");
        const QString ownFamily = Sfnt::familyName(names);
        const QString ownStyle = Sfnt::styleName(names);
        for (Face &face : found) {
            registeredFiles().insert(face.queryFamily, path);
            face.family = ownFamily.isEmpty() ? face.family : ownFamily;
            face.style = ownStyle.isEmpty() || found.size() > 1 ? face.style : ownStyle;
            face.file = path;
            face.faceIndex = index;
            faces->append(face);
        }
    }
    if (!refused.isEmpty()) {
        *error = QStringLiteral("Qt draws the glyphs of another font for %1 %2")
                     .arg(refused.size() == 1 ? QStringLiteral("face") : QStringLiteral("faces"), refused.join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

// A font whose tables cannot be compared: taken only when no other font has its family.
bool addOther(const QString &path, QList<Face> *faces, QString *error)
{
    const QStringList before = InstalledFonts::families();
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0) {
        *error = QStringLiteral("Qt's font database does not load it");
        return false;
    }
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    for (const QString &family : families) {
        // The database tells fonts of one family from different foundries apart as "FAMILY [FOUNDRY]".
        const bool installed = std::any_of(before.cbegin(), before.cend(), [&family](const QString &other) {
            return other == family || other.startsWith(family + QStringLiteral(" ["));
        });
        if (installed) {
            QFontDatabase::removeApplicationFont(id);
            QString other = registeredFiles().value(family);
            const QString own = QFileInfo(path).canonicalFilePath();
            for (const QString &file : installedFiles(family, QString())) {
                if (other.isEmpty() && QFileInfo(file).canonicalFilePath() != own) {
                    other = file;
                }
            }
            *error = QStringLiteral("its family \"%1\" is also %2, and Qt could draw either; "
                                    "only TrueType and OpenType files can be told apart")
                         .arg(family, other.isEmpty() ? QStringLiteral("installed") : QStringLiteral("that of ") + other);
            return false;
        }
    }
    for (const QString &family : families) {
        registeredFiles().insert(family, path);
        for (const QString &style : InstalledFonts::styles(family)) {
            faces->append(Face{family, style, family, style, path, 0});
        }
    }
    return true;
}

QString unescapedFirstName(const QString &list)
{
    QString name;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i) == QLatin1Char('\\') && i + 1 < list.size()) {
            name.append(list.at(++i));
        } else if (list.at(i) == QLatin1Char(',')) {
            break;
        } else {
            name.append(list.at(i));
        }
    }
    return name.trimmed();
}

QString knownFamily(const QStringList &families, const QString &name)
{
    const auto known = std::find_if(families.cbegin(), families.cend(),
                                    [&](const QString &family) { return family.compare(name, Qt::CaseInsensitive) == 0; });
    return known == families.cend() ? QString() : *known;
}

// path, escaped, its middle left out when it is too long to read in a line (a path beyond PATH_MAX, for one).
QString shortPath(const QByteArray &path)
{
    constexpr int head = 40;
    constexpr int tail = 80;
    if (path.size() <= head + tail + 40) {
        return TextEncoding::escaped(path);
    }
    return QStringLiteral("%1...%2 (a path of %3 bytes)").arg(TextEncoding::escaped(path.left(head)), TextEncoding::escaped(path.right(tail))).arg(path.size());
}

// Readdir rather than QDirIterator, which passes over a name that is not text without a word.
void walk(const QByteArray &directory, QStringList *files, QStringList *problems, int *scanned)
{
    DIR *handle = opendir(directory.constData());
    if (!handle) {
        problems->append(QStringLiteral("%1: cannot read the directory: %2")
                             .arg(QFile::decodeName(directory), QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    QList<QByteArray> names;
    while (const dirent *entry = readdir(handle)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0) {
            names.append(QByteArray(entry->d_name));
        }
    }
    closedir(handle);
    std::sort(names.begin(), names.end());
    for (const QByteArray &name : names) {
        const QByteArray path = directory + '/' + name;
        struct stat status = {};
        // lstat: a link to a directory is not followed, so links cannot lead round in a loop.
        if (lstat(path.constData(), &status) != 0) {
            ++*scanned;
            problems->append(QStringLiteral("%1: cannot look at it: %2").arg(shortPath(path), QString::fromLocal8Bit(std::strerror(errno))));
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            walk(path, files, problems, scanned);
            continue;
        }
        ++*scanned;
        const QString decoded = QFile::decodeName(path);
        if (!fontExtensions.contains(QFileInfo(decoded).suffix(), Qt::CaseInsensitive)) {
            continue;
        }
        if (QFile::encodeName(decoded) != path) {
            problems->append(QStringLiteral("%1: its name is not valid text, so it cannot be named to Qt").arg(TextEncoding::escaped(path)));
            continue;
        }
        files->append(decoded);
    }
}

} // namespace

bool addFile(const QString &spec, QList<Face> *faces, QString *error)
{
    QString path = spec;
    int wanted = -1;
    const QRegularExpressionMatch face = QRegularExpression(QStringLiteral("^(.*)#(\\d{1,6})$")).match(spec);
    if (face.hasMatch() && !QFileInfo::exists(spec)) {
        path = face.captured(1);
        wanted = face.captured(2).toInt();
    }
    const QRegularExpressionMatch number = QRegularExpression(QStringLiteral("^(.*)#(-?\\d+)$")).match(spec);
    if (wanted < 0 && number.hasMatch() && !QFileInfo::exists(spec) && QFileInfo::exists(number.captured(1))) {
        *error = QStringLiteral("\"#%1\" is no face index; faces are numbered from 0 to 999999").arg(number.captured(2));
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = info.isSymLink() ? QStringLiteral("a symbolic link that leads nowhere (or round in a loop)")
                                  : QStringLiteral("No such file or directory");
        return false;
    }
    if (!info.isFile()) {
        *error = info.isDir() ? QStringLiteral("a directory; --font-dir reads the fonts in one") : QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.size() == 0) {
        *error = QStringLiteral("an empty file");
        return false;
    }
    if (file.size() > maxFileSize) {
        *error = QStringLiteral("larger than 1 GiB, too large for a font");
        return false;
    }
    const QString kind = kindOf(file.peek(16));
    if (kind.isEmpty()) {
        *error = QStringLiteral("not a font file (no TrueType, OpenType, WOFF or Type 1 header)");
        return false;
    }
    if (kind != QLatin1String("sfnt")) {
        if (wanted > 0) {
            *error = QStringLiteral("has no face %1; it is not a collection").arg(wanted);
            return false;
        }
        return addOther(path, faces, error);
    }
    // Mapped rather than read: only the tables compared are ever touched.
    const uchar *mapped = file.map(0, file.size());
    const QByteArray data = mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(file.size())) : file.readAll();
    return addSfnt(path, data, wanted, faces, error);
}

QStringList filesIn(const QString &directory, QStringList *problems, int *scanned)
{
    QStringList files;
    *scanned = 0;
    walk(QFile::encodeName(directory), &files, problems, scanned);
    std::sort(files.begin(), files.end());
    return files;
}

QString installedFamily(const QStringList &families, const QString &name)
{
    // The font configuration lists generic names as families of their own; the output is named after the real one.
    static const QStringList generic{QStringLiteral("sans"), QStringLiteral("sans-serif"), QStringLiteral("sans serif"),
                                     QStringLiteral("serif"), QStringLiteral("monospace"), QStringLiteral("mono"),
                                     QStringLiteral("cursive"), QStringLiteral("fantasy"), QStringLiteral("system-ui")};
    if (generic.contains(name.trimmed().toLower())) {
        return knownFamily(families, QFontInfo(QFont(name.trimmed())).family());
    }
    const QString family = knownFamily(families, name);
    return family.isEmpty() ? knownFamily(families, unescapedFirstName(name)) : family;
}

QStringList installedFiles(const QString &family, const QString &style)
{
    // Characters that a fontconfig pattern gives a meaning are escaped.
    const auto escaped = [](const QString &name) {
        QString text;
        for (const QChar c : name) {
            if (c == QLatin1Char('\\') || c == QLatin1Char('-') || c == QLatin1Char(':') || c == QLatin1Char(',')) {
                text.append(QLatin1Char('\\'));
            }
            text.append(c);
        }
        return text;
    };
    const QString pattern = escaped(family) + (style.isEmpty() ? QString() : QStringLiteral(":style=") + escaped(style));
    QProcess list;
    list.start(QStringLiteral("fc-list"), {QStringLiteral("-f"), QStringLiteral("%{file}\\n"), pattern});
    if (!list.waitForFinished(10000) || list.exitStatus() != QProcess::NormalExit || list.exitCode() != 0) {
        list.kill();
        list.waitForFinished();
        return {};
    }
    QStringList files = QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    std::sort(files.begin(), files.end());
    return files;
}

QString defaultStyle(const QStringList &styles)
{
    for (const QString &preferred : {QStringLiteral("Book"), QStringLiteral("Regular"), QStringLiteral("Normal"),
                                     QStringLiteral("Roman"), QStringLiteral("Medium")}) {
        if (styles.contains(preferred)) {
            return preferred;
        }
    }
    return styles.value(0);
}

} // namespace FontSources
