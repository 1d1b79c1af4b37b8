#include "iomanager/glyphfilename.h"

#include "models/codepoint.h"

#include <cstdlib>
#include <string>

namespace IOManager {

namespace {

// The letter field between the first two "_", or false when there are not two.
bool splitName(const QString &name, QString *field, QString *idField)
{
    const int first = name.indexOf(QLatin1Char('_'));
    const int second = first < 0 ? -1 : name.indexOf(QLatin1Char('_'), first + 1);
    if (second < 0) {
        return false;
    }
    // The extension's dot always comes after the second "_".
    const int dot = name.indexOf(QLatin1Char('.'), second + 1);
    *field = name.mid(first + 1, second - first - 1);
    *idField = name.mid(second + 1, dot - second - 1);
    return true;
}

/* The letter field that parse() reads back as letter; returns why there is none, or an empty text. */
QString letterField(const QString &letter, QString *field)
{
    if (letter.size() == 1 && GlyphFileName::isStorableLetter(letter)) {
        // Also covers "_", "+", "." and characters a file name cannot hold.
        *field = QStringLiteral("u+") + QStringLiteral("%1").arg(letter.at(0).unicode(), 4, 16, QLatin1Char('0')).toUpper();
        return QString();
    }
    if (letter == QLatin1String("[pasdecode]")) {
        return QStringLiteral("the import leaves out [pasdecode]");
    }
    for (const char *character : {"_", "+", "/", "."}) {
        if (letter.contains(QLatin1String(character))) {
            return QStringLiteral("it holds \"%1\", which a glyph image name cannot carry").arg(QLatin1String(character));
        }
    }
    if (letter.contains(QChar(0))) {
        return QStringLiteral("it holds U+0000, which a file name cannot carry");
    }
    if (!GlyphFileName::isStorableLetter(letter)) {
        return QStringLiteral("it holds a character an OF font file cannot hold");
    }
    *field = letter;
    return QString();
}

} // namespace

bool GlyphFileName::hasGlyphExtension(const QString &fileName)
{
    for (const char *extension : {".jpg", ".png", ".JPG", ".PNG", ".bmp", ".BMP"}) {
        if (fileName.endsWith(QLatin1String(extension), Qt::CaseSensitive)) {
            return true;
        }
    }
    return false;
}

bool GlyphFileName::isPrefix(const QString &prefix)
{
    return !prefix.contains(QLatin1Char('_')) && !prefix.contains(QLatin1Char('/')) && !prefix.contains(QChar(0))
           && !prefix.startsWith(QLatin1Char('.'));
}

bool GlyphFileName::isStorableLetter(const QString &letter)
{
    for (int i = 0; i < letter.size(); ++i) {
        const ushort unit = letter.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < letter.size() && letter.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const bool control = unit < 0x20 && unit != 0x9 && unit != 0xA && unit != 0xD;
        if (control || QChar::isSurrogate(unit) || unit == 0xFFFE || unit == 0xFFFF) {
            return false;
        }
    }
    return true;
}

GlyphFileName GlyphFileName::parse(const QString &fileName)
{
    GlyphFileName result;
    QString field;
    QString idField;
    if (fileName.startsWith(QLatin1Char('.'))) {
        result.m_refusal = Hidden;
    } else if (!hasGlyphExtension(fileName)) {
        result.m_refusal = OtherExtension;
    } else if (!splitName(fileName, &field, &idField)) {
        result.m_refusal = TooFewUnderscores;
    } else if (field == QLatin1String("[pasdecode]")) {
        result.m_refusal = LeftOut;
    }
    if (result.m_refusal != Accepted) {
        return result;
    }

    const int plus = field.indexOf(QLatin1Char('+'));
    if (plus < 0) {
        result.m_letter = field;
    } else if (plus != field.lastIndexOf(QLatin1Char('+'))) {
        result.m_refusal = SeveralPlusSigns;
    } else if (field.left(plus).toLower() != QLatin1String("u") || field.size() - plus - 1 != 4) {
        result.m_refusal = NotACode;
    } else {
        result.m_code = field.mid(plus + 1);
        const std::string codeText = result.m_code.toStdString();
        result.m_letter = QString(QChar(ushort(std::strtoul(codeText.c_str(), nullptr, 16) & 0xffffu)));
    }
    if (result.m_refusal == Accepted) {
        // trimmed(): Qt 6's toInt() passes over ASCII white space only.
        result.m_id = idField.trimmed().toInt();
    }
    return result;
}

QString GlyphFileName::reason() const
{
    switch (m_refusal) {
    case Accepted:
        break;
    case Hidden:
        return QStringLiteral("hidden files are not read");
    case OtherExtension:
        return QStringLiteral("the extension is not .png, .jpg or .bmp (all lower or all upper case)");
    case TooFewUnderscores:
        return QStringLiteral("the name is not PREFIX_LETTER_ID.EXT (it needs two \"_\")");
    case LeftOut:
        return QStringLiteral("the letter [pasdecode] marks a glyph to leave out");
    case SeveralPlusSigns:
        return QStringLiteral("the letter field holds more than one \"+\"");
    case NotACode:
        return QStringLiteral("a letter field with \"+\" must be u+XXXX, four hex digits (\"+\" itself is u+002B)");
    case UnstorableCode:
        return QStringLiteral("%1 is not a character an OF font file can hold").arg(Models::codePointName(m_letter.at(0).unicode()));
    case UnstorableLetter:
        return QStringLiteral("the letter field holds a character an OF font file cannot hold");
    }
    return QString();
}

QString GlyphFileName::storageProblem() const
{
    if (m_refusal != Accepted || isStorableLetter(m_letter)) {
        return QString();
    }
    if (!m_code.isNull()) {
        return QStringLiteral("%1 is not a character an OF font file can hold").arg(Models::codePointName(m_letter.at(0).unicode()));
    }
    return QStringLiteral("the letter field holds a character an OF font file cannot hold");
}

QString GlyphFileName::compose(const QString &prefix, const QString &letter, int id, QString *why)
{
    QString field;
    const QString reason = isPrefix(prefix) ? letterField(letter, &field)
                                            : QStringLiteral("the prefix holds \"_\", \"/\" or U+0000, or starts with \".\"");
    if (!reason.isEmpty()) {
        if (why) {
            *why = reason;
        }
        return QString();
    }
    // Joined, not arg()-chained: a letter may itself hold "%1".
    return prefix + QLatin1Char('_') + field + QLatin1Char('_') + QString::number(id) + QLatin1String(".png");
}

} // namespace IOManager
