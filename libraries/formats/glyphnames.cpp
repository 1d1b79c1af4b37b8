#include "glyphnames.h"

#include <algorithm>
#include <cstring>

namespace GlyphNames {

namespace {

struct Entry {
    const char *name;
    uint codePoint;
};

// A subset of the Adobe Glyph List (https://github.com/adobe-type-tools/agl-aglfn, Apache License 2.0),
// sorted by name; a name the list gives two characters appears twice.
const Entry adobeGlyphList[] = {
    {"A", 0x0041}, {"AE", 0x00C6}, {"Aacute", 0x00C1}, {"Abreve", 0x0102}, {"Acircumflex", 0x00C2},
    {"Adieresis", 0x00C4}, {"Agrave", 0x00C0}, {"Alpha", 0x0391}, {"Amacron", 0x0100}, {"Aogonek", 0x0104},
    {"Aring", 0x00C5}, {"Atilde", 0x00C3}, {"B", 0x0042}, {"Beta", 0x0392}, {"C", 0x0043}, {"Cacute", 0x0106},
    {"Ccaron", 0x010C}, {"Ccedilla", 0x00C7}, {"Ccircumflex", 0x0108}, {"Cdot", 0x010A}, {"Cdotaccent", 0x010A},
    {"Chi", 0x03A7}, {"D", 0x0044}, {"Dcaron", 0x010E}, {"Dcroat", 0x0110}, {"Delta", 0x0394}, {"Delta", 0x2206},
    {"E", 0x0045}, {"Eacute", 0x00C9}, {"Ebreve", 0x0114}, {"Ecaron", 0x011A}, {"Ecircumflex", 0x00CA},
    {"Edieresis", 0x00CB}, {"Edot", 0x0116}, {"Edotaccent", 0x0116}, {"Egrave", 0x00C8}, {"Emacron", 0x0112},
    {"Eng", 0x014A}, {"Eogonek", 0x0118}, {"Epsilon", 0x0395}, {"Eta", 0x0397}, {"Eth", 0x00D0}, {"Euro", 0x20AC},
    {"F", 0x0046}, {"G", 0x0047}, {"Gamma", 0x0393}, {"Gbreve", 0x011E}, {"Gcedilla", 0x0122},
    {"Gcircumflex", 0x011C}, {"Gcommaaccent", 0x0122}, {"Gdot", 0x0120}, {"Gdotaccent", 0x0120}, {"H", 0x0048},
    {"Hbar", 0x0126}, {"Hcircumflex", 0x0124}, {"I", 0x0049}, {"IJ", 0x0132}, {"Iacute", 0x00CD}, {"Ibreve", 0x012C},
    {"Icircumflex", 0x00CE}, {"Idieresis", 0x00CF}, {"Idotaccent", 0x0130}, {"Ifraktur", 0x2111}, {"Igrave", 0x00CC},
    {"Imacron", 0x012A}, {"Iogonek", 0x012E}, {"Iota", 0x0399}, {"Itilde", 0x0128}, {"J", 0x004A},
    {"Jcircumflex", 0x0134}, {"K", 0x004B}, {"Kappa", 0x039A}, {"Kcedilla", 0x0136}, {"Kcommaaccent", 0x0136},
    {"L", 0x004C}, {"Lacute", 0x0139}, {"Lambda", 0x039B}, {"Lcaron", 0x013D}, {"Lcedilla", 0x013B},
    {"Lcommaaccent", 0x013B}, {"Ldot", 0x013F}, {"Lslash", 0x0141}, {"M", 0x004D}, {"Mu", 0x039C}, {"N", 0x004E},
    {"Nacute", 0x0143}, {"Ncaron", 0x0147}, {"Ncedilla", 0x0145}, {"Ncommaaccent", 0x0145}, {"Ntilde", 0x00D1},
    {"Nu", 0x039D}, {"O", 0x004F}, {"OE", 0x0152}, {"Oacute", 0x00D3}, {"Obreve", 0x014E}, {"Ocircumflex", 0x00D4},
    {"Odieresis", 0x00D6}, {"Ograve", 0x00D2}, {"Ohungarumlaut", 0x0150}, {"Omacron", 0x014C}, {"Omega", 0x03A9},
    {"Omega", 0x2126}, {"Omicron", 0x039F}, {"Oslash", 0x00D8}, {"Otilde", 0x00D5}, {"P", 0x0050}, {"Phi", 0x03A6},
    {"Pi", 0x03A0}, {"Psi", 0x03A8}, {"Q", 0x0051}, {"R", 0x0052}, {"Racute", 0x0154}, {"Rcaron", 0x0158},
    {"Rcedilla", 0x0156}, {"Rcommaaccent", 0x0156}, {"Rfraktur", 0x211C}, {"Rho", 0x03A1}, {"S", 0x0053},
    {"Sacute", 0x015A}, {"Scaron", 0x0160}, {"Scedilla", 0x015E}, {"Scircumflex", 0x015C}, {"Scommaaccent", 0x0218},
    {"Sigma", 0x03A3}, {"T", 0x0054}, {"Tau", 0x03A4}, {"Tbar", 0x0166}, {"Tcaron", 0x0164}, {"Tcedilla", 0x0162},
    {"Tcommaaccent", 0x0162}, {"Tcommaaccent", 0x021A}, {"Theta", 0x0398}, {"Thorn", 0x00DE}, {"U", 0x0055},
    {"Uacute", 0x00DA}, {"Ubreve", 0x016C}, {"Ucircumflex", 0x00DB}, {"Udieresis", 0x00DC}, {"Ugrave", 0x00D9},
    {"Uhungarumlaut", 0x0170}, {"Umacron", 0x016A}, {"Uogonek", 0x0172}, {"Upsilon", 0x03A5}, {"Upsilon1", 0x03D2},
    {"Uring", 0x016E}, {"Utilde", 0x0168}, {"V", 0x0056}, {"W", 0x0057}, {"Wcircumflex", 0x0174}, {"X", 0x0058},
    {"Xi", 0x039E}, {"Y", 0x0059}, {"Yacute", 0x00DD}, {"Ycircumflex", 0x0176}, {"Ydieresis", 0x0178}, {"Z", 0x005A},
    {"Zacute", 0x0179}, {"Zcaron", 0x017D}, {"Zdotaccent", 0x017B}, {"Zeta", 0x0396}, {"a", 0x0061},
    {"aacute", 0x00E1}, {"abreve", 0x0103}, {"acircumflex", 0x00E2}, {"acute", 0x00B4}, {"adieresis", 0x00E4},
    {"ae", 0x00E6}, {"agrave", 0x00E0}, {"aleph", 0x2135}, {"alpha", 0x03B1}, {"amacron", 0x0101},
    {"ampersand", 0x0026}, {"angle", 0x2220}, {"angleleft", 0x2329}, {"angleright", 0x232A}, {"aogonek", 0x0105},
    {"approxequal", 0x2248}, {"aring", 0x00E5}, {"arrowboth", 0x2194}, {"arrowdblboth", 0x21D4},
    {"arrowdbldown", 0x21D3}, {"arrowdblleft", 0x21D0}, {"arrowdblright", 0x21D2}, {"arrowdblup", 0x21D1},
    {"arrowdown", 0x2193}, {"arrowleft", 0x2190}, {"arrowright", 0x2192}, {"arrowup", 0x2191},
    {"asciicircum", 0x005E}, {"asciitilde", 0x007E}, {"asterisk", 0x002A}, {"asteriskmath", 0x2217}, {"at", 0x0040},
    {"atilde", 0x00E3}, {"b", 0x0062}, {"backslash", 0x005C}, {"bar", 0x007C}, {"beta", 0x03B2},
    {"braceleft", 0x007B}, {"braceright", 0x007D}, {"bracketleft", 0x005B}, {"bracketright", 0x005D},
    {"breve", 0x02D8}, {"brokenbar", 0x00A6}, {"bullet", 0x2022}, {"c", 0x0063}, {"cacute", 0x0107},
    {"caron", 0x02C7}, {"carriagereturn", 0x21B5}, {"ccaron", 0x010D}, {"ccedilla", 0x00E7}, {"ccircumflex", 0x0109},
    {"cdot", 0x010B}, {"cdotaccent", 0x010B}, {"cedilla", 0x00B8}, {"cent", 0x00A2}, {"chi", 0x03C7},
    {"circlemultiply", 0x2297}, {"circleplus", 0x2295}, {"circumflex", 0x02C6}, {"club", 0x2663}, {"colon", 0x003A},
    {"comma", 0x002C}, {"congruent", 0x2245}, {"copyright", 0x00A9}, {"currency", 0x00A4}, {"d", 0x0064},
    {"dagger", 0x2020}, {"daggerdbl", 0x2021}, {"dcaron", 0x010F}, {"dcroat", 0x0111}, {"degree", 0x00B0},
    {"delta", 0x03B4}, {"diamond", 0x2666}, {"dieresis", 0x00A8}, {"divide", 0x00F7}, {"dollar", 0x0024},
    {"dotaccent", 0x02D9}, {"dotlessi", 0x0131}, {"dotmath", 0x22C5}, {"e", 0x0065}, {"eacute", 0x00E9},
    {"ebreve", 0x0115}, {"ecaron", 0x011B}, {"ecircumflex", 0x00EA}, {"edieresis", 0x00EB}, {"edot", 0x0117},
    {"edotaccent", 0x0117}, {"egrave", 0x00E8}, {"eight", 0x0038}, {"element", 0x2208}, {"ellipsis", 0x2026},
    {"emacron", 0x0113}, {"emdash", 0x2014}, {"emptyset", 0x2205}, {"endash", 0x2013}, {"eng", 0x014B},
    {"eogonek", 0x0119}, {"epsilon", 0x03B5}, {"equal", 0x003D}, {"equivalence", 0x2261}, {"eta", 0x03B7},
    {"eth", 0x00F0}, {"exclam", 0x0021}, {"exclamdown", 0x00A1}, {"existential", 0x2203}, {"f", 0x0066},
    {"fi", 0xFB01}, {"five", 0x0035}, {"fl", 0xFB02}, {"florin", 0x0192}, {"four", 0x0034}, {"fraction", 0x2044},
    {"fraction", 0x2215}, {"g", 0x0067}, {"gamma", 0x03B3}, {"gbreve", 0x011F}, {"gcedilla", 0x0123},
    {"gcircumflex", 0x011D}, {"gcommaaccent", 0x0123}, {"gdot", 0x0121}, {"gdotaccent", 0x0121},
    {"germandbls", 0x00DF}, {"gradient", 0x2207}, {"grave", 0x0060}, {"greater", 0x003E}, {"greaterequal", 0x2265},
    {"guillemotleft", 0x00AB}, {"guillemotright", 0x00BB}, {"guilsinglleft", 0x2039}, {"guilsinglright", 0x203A},
    {"h", 0x0068}, {"hbar", 0x0127}, {"hcircumflex", 0x0125}, {"heart", 0x2665}, {"hungarumlaut", 0x02DD},
    {"hyphen", 0x002D}, {"hyphen", 0x00AD}, {"i", 0x0069}, {"iacute", 0x00ED}, {"ibreve", 0x012D},
    {"icircumflex", 0x00EE}, {"idieresis", 0x00EF}, {"igrave", 0x00EC}, {"ij", 0x0133}, {"imacron", 0x012B},
    {"infinity", 0x221E}, {"integral", 0x222B}, {"integralbt", 0x2321}, {"integraltp", 0x2320},
    {"intersection", 0x2229}, {"iogonek", 0x012F}, {"iota", 0x03B9}, {"itilde", 0x0129}, {"j", 0x006A},
    {"jcircumflex", 0x0135}, {"k", 0x006B}, {"kappa", 0x03BA}, {"kcedilla", 0x0137}, {"kcommaaccent", 0x0137},
    {"kgreenlandic", 0x0138}, {"l", 0x006C}, {"lacute", 0x013A}, {"lambda", 0x03BB}, {"lcaron", 0x013E},
    {"lcedilla", 0x013C}, {"lcommaaccent", 0x013C}, {"ldot", 0x0140}, {"less", 0x003C}, {"lessequal", 0x2264},
    {"logicaland", 0x2227}, {"logicalnot", 0x00AC}, {"logicalor", 0x2228}, {"longs", 0x017F}, {"lozenge", 0x25CA},
    {"lslash", 0x0142}, {"m", 0x006D}, {"macron", 0x00AF}, {"macron", 0x02C9}, {"minus", 0x2212}, {"minute", 0x2032},
    {"mu", 0x00B5}, {"mu", 0x03BC}, {"multiply", 0x00D7}, {"n", 0x006E}, {"nacute", 0x0144}, {"napostrophe", 0x0149},
    {"nbspace", 0x00A0}, {"ncaron", 0x0148}, {"ncedilla", 0x0146}, {"ncommaaccent", 0x0146}, {"nine", 0x0039},
    {"notelement", 0x2209}, {"notequal", 0x2260}, {"notsubset", 0x2284}, {"ntilde", 0x00F1}, {"nu", 0x03BD},
    {"numbersign", 0x0023}, {"o", 0x006F}, {"oacute", 0x00F3}, {"obreve", 0x014F}, {"ocircumflex", 0x00F4},
    {"odieresis", 0x00F6}, {"oe", 0x0153}, {"ogonek", 0x02DB}, {"ograve", 0x00F2}, {"ohungarumlaut", 0x0151},
    {"omacron", 0x014D}, {"omega", 0x03C9}, {"omega1", 0x03D6}, {"omicron", 0x03BF}, {"one", 0x0031},
    {"onehalf", 0x00BD}, {"onequarter", 0x00BC}, {"onesuperior", 0x00B9}, {"ordfeminine", 0x00AA},
    {"ordmasculine", 0x00BA}, {"oslash", 0x00F8}, {"otilde", 0x00F5}, {"p", 0x0070}, {"paragraph", 0x00B6},
    {"parenleft", 0x0028}, {"parenright", 0x0029}, {"partialdiff", 0x2202}, {"percent", 0x0025}, {"period", 0x002E},
    {"periodcentered", 0x00B7}, {"periodcentered", 0x2219}, {"perpendicular", 0x22A5}, {"perthousand", 0x2030},
    {"phi", 0x03C6}, {"phi1", 0x03D5}, {"pi", 0x03C0}, {"plus", 0x002B}, {"plusminus", 0x00B1}, {"product", 0x220F},
    {"propersubset", 0x2282}, {"propersuperset", 0x2283}, {"proportional", 0x221D}, {"psi", 0x03C8}, {"q", 0x0071},
    {"question", 0x003F}, {"questiondown", 0x00BF}, {"quotedbl", 0x0022}, {"quotedblbase", 0x201E},
    {"quotedblleft", 0x201C}, {"quotedblright", 0x201D}, {"quoteleft", 0x2018}, {"quoteright", 0x2019},
    {"quotesinglbase", 0x201A}, {"quotesingle", 0x0027}, {"r", 0x0072}, {"racute", 0x0155}, {"radical", 0x221A},
    {"rcaron", 0x0159}, {"rcedilla", 0x0157}, {"rcommaaccent", 0x0157}, {"reflexsubset", 0x2286},
    {"reflexsuperset", 0x2287}, {"registered", 0x00AE}, {"rho", 0x03C1}, {"ring", 0x02DA}, {"s", 0x0073},
    {"sacute", 0x015B}, {"scaron", 0x0161}, {"scedilla", 0x015F}, {"scircumflex", 0x015D}, {"scommaaccent", 0x0219},
    {"second", 0x2033}, {"section", 0x00A7}, {"semicolon", 0x003B}, {"seven", 0x0037}, {"sfthyphen", 0x00AD},
    {"sigma", 0x03C3}, {"sigma1", 0x03C2}, {"similar", 0x223C}, {"six", 0x0036}, {"slash", 0x002F}, {"space", 0x0020},
    {"space", 0x00A0}, {"spade", 0x2660}, {"sterling", 0x00A3}, {"suchthat", 0x220B}, {"summation", 0x2211},
    {"t", 0x0074}, {"tau", 0x03C4}, {"tbar", 0x0167}, {"tcaron", 0x0165}, {"tcedilla", 0x0163},
    {"tcommaaccent", 0x0163}, {"tcommaaccent", 0x021B}, {"therefore", 0x2234}, {"theta", 0x03B8}, {"theta1", 0x03D1},
    {"thorn", 0x00FE}, {"three", 0x0033}, {"threequarters", 0x00BE}, {"threesuperior", 0x00B3}, {"tilde", 0x02DC},
    {"trademark", 0x2122}, {"two", 0x0032}, {"twosuperior", 0x00B2}, {"u", 0x0075}, {"uacute", 0x00FA},
    {"ubreve", 0x016D}, {"ucircumflex", 0x00FB}, {"udieresis", 0x00FC}, {"ugrave", 0x00F9}, {"uhungarumlaut", 0x0171},
    {"umacron", 0x016B}, {"underscore", 0x005F}, {"union", 0x222A}, {"universal", 0x2200}, {"uogonek", 0x0173},
    {"upsilon", 0x03C5}, {"uring", 0x016F}, {"utilde", 0x0169}, {"v", 0x0076}, {"w", 0x0077}, {"wcircumflex", 0x0175},
    {"weierstrass", 0x2118}, {"x", 0x0078}, {"xi", 0x03BE}, {"y", 0x0079}, {"yacute", 0x00FD},
    {"ycircumflex", 0x0177}, {"ydieresis", 0x00FF}, {"yen", 0x00A5}, {"z", 0x007A}, {"zacute", 0x017A},
    {"zcaron", 0x017E}, {"zdotaccent", 0x017C}, {"zero", 0x0030}, {"zeta", 0x03B6},
};

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The value of digits, all upper-case hexadecimal; -1 otherwise.
qint64 hexValue(const QByteArray &digits)
{
    qint64 value = 0;
    for (const char c : digits) {
        if (!isUpperHex(c)) {
            return -1;
        }
        value = value * 16 + (c <= '9' ? c - '0' : c - 'A' + 10);
    }
    return value;
}

bool isCharacter(qint64 value)
{
    return value >= 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

} // namespace

QVector<uint> characters(const QByteArray &name)
{
    const int period = name.indexOf('.');
    const QByteArray base = period < 0 ? name : name.left(period);
    if (base.isEmpty() || base.contains('_')) {
        return {};
    }
    if (base.startsWith("uni") && base.size() == 7) {
        const qint64 value = hexValue(base.mid(3));
        return isCharacter(value) ? QVector<uint>{uint(value)} : QVector<uint>();
    }
    if (base.startsWith('u') && base.size() >= 5 && base.size() <= 7) {
        const qint64 value = hexValue(base.mid(1));
        if (value >= 0) {
            return isCharacter(value) ? QVector<uint>{uint(value)} : QVector<uint>();
        }
    }
    const auto less = [](const Entry &entry, const char *key) { return std::strcmp(entry.name, key) < 0; };
    QVector<uint> found;
    for (auto entry = std::lower_bound(std::begin(adobeGlyphList), std::end(adobeGlyphList), base.constData(), less);
         entry != std::end(adobeGlyphList) && base == entry->name; ++entry) {
        found.append(entry->codePoint);
    }
    return found;
}

} // namespace GlyphNames
