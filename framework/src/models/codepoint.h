#ifndef MODELS_CODEPOINT_H
#define MODELS_CODEPOINT_H

#include "quillmeremakefont_export.h"

#include <QString>

namespace Models {

/** "U+00E9": at least four upper-case hexadecimal digits. */
QMF_EXPORT QString codePointName(uint codePoint);

} // namespace Models

#endif // MODELS_CODEPOINT_H
