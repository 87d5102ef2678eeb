#ifndef WINDOWTRACING_H
#define WINDOWTRACING_H

// The window's trace lines, one logging category per subsystem, so that
// each can be switched on or off, for example
//   QT_LOGGING_RULES="ravelo.*.debug=false;ravelo.link.debug=true"
// They are all on by default. "ravelo.output" is the core's (config/tracing.h).

#include "config/tracing.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)     // "ravelo.app": start-up and the configuration file
Q_DECLARE_LOGGING_CATEGORY(lcLink)    // "ravelo.link": the serial port, frames, meter keys
Q_DECLARE_LOGGING_CATEGORY(lcDecoder) // "ravelo.decoder": frames into readings
Q_DECLARE_LOGGING_CATEGORY(lcDisplay) // "ravelo.display": the panel, table and curve

#endif // WINDOWTRACING_H
