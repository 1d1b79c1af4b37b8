#ifndef FORMATS_OUTPUTNAME_H
#define FORMATS_OUTPUTNAME_H

#include <QString>

/* Names from font data (a family, a style) made into file names that stay in their directory. */
namespace OutputName {

/** The longest file name, in bytes of UTF-8, that the usual file systems take (NAME_MAX). */
constexpr int maxBytes = 255;

/**
 * name as part of one file name: "/", "\", control characters (U+0000-U+001F, U+007F-U+009F)
 * and unpaired surrogates become "_", and so does a leading "."; then it is cut at a character
 * boundary to at most limit bytes of UTF-8. Any other name comes back unchanged; an empty one
 * stays empty, for the caller joins it with other text.
 */
QString component(const QString &name, int limit = maxBytes);

/** The bytes text takes in UTF-8. */
int utf8Size(const QString &text);

} // namespace OutputName

#endif // FORMATS_OUTPUTNAME_H
