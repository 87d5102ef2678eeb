#ifndef TRACING_H
#define TRACING_H

// The trace lines of the core, one logging category per subsystem, so that
// each can be switched on or off, for example
//   QT_LOGGING_RULES="ravelo.*.debug=false;ravelo.output.debug=true"
// They are all on by default. The window's own categories are in
// mainwindow/windowtracing.h.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcOutput)  // "ravelo.output": the journal, exports, printing, help

#endif // TRACING_H
