#ifndef TICKGAUGE_GLOBAL_H
#define TICKGAUGE_GLOBAL_H

#include <QtCore/qglobal.h>

// TickGauge lives in a shared library of its own: export its symbols while
// building that library, import them everywhere else.
#if defined(TICKGAUGE_LIBRARY)
#  define TICKGAUGE_EXPORT Q_DECL_EXPORT
#else
#  define TICKGAUGE_EXPORT Q_DECL_IMPORT
#endif

#endif // TICKGAUGE_GLOBAL_H
