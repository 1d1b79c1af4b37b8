#ifndef RENDERER_EXPORT_H
#define RENDERER_EXPORT_H

#include <QtGlobal>

// The renderer is built with hidden visibility: only what carries this macro is exported.
#if defined(QUILLMEREMAKEFONT_RENDERER_LIBRARY)
#define QMF_RENDERER_EXPORT Q_DECL_EXPORT
#else
#define QMF_RENDERER_EXPORT Q_DECL_IMPORT
#endif

#endif // RENDERER_EXPORT_H
