#ifndef QUILLMEREMAKEFONT_EXPORT_H
#define QUILLMEREMAKEFONT_EXPORT_H

#include <QtGlobal>

// The library is built with hidden visibility: only what carries this macro is exported.
#if defined(QUILLMEREMAKEFONT_LIBRARY)
#define QMF_EXPORT Q_DECL_EXPORT
#else
#define QMF_EXPORT Q_DECL_IMPORT
#endif

#endif // QUILLMEREMAKEFONT_EXPORT_H
