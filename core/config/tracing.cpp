#include "config/tracing.h"

Q_LOGGING_CATEGORY(lcOutput, "ravelo.output")
