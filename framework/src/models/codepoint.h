#ifndef MODELS_CODEPOINT_H
#define MODELS_CODEPOINT_H

#include "quillmeremakefont_export.h"

#include <QString>
#include <QVector>

namespace Models {

/** "U+00E9": at least four upper-case hexadecimal digits. */
QMF_EXPORT QString codePointName(uint codePoint);

/** The code points of text; a lone surrogate counts as itself. */
QMF_EXPORT QVector<uint> codePointsOf(const QString &text);

/** "U+0041", or "U+0041 U+0301" for several characters, "(empty)" for none. */
QMF_EXPORT QString codePointNames(const QString &letter);

/** A letter as people read it: a visible character as itself, anything else as its codePointNames(). */
QMF_EXPORT QString letterLabel(const QString &letter);

} // namespace Models

#endif // MODELS_CODEPOINT_H
