#include "mainwindow/windowtracing.h"

Q_LOGGING_CATEGORY(lcApp, "ravelo.app")
Q_LOGGING_CATEGORY(lcLink, "ravelo.link")
Q_LOGGING_CATEGORY(lcDecoder, "ravelo.decoder")
Q_LOGGING_CATEGORY(lcDisplay, "ravelo.display")
