#include "logging.h"

// No default severity given: every level, debug included, is enabled.
Q_LOGGING_CATEGORY(ORLEK, "org.velari.sorvex.orlek")
Q_LOGGING_CATEGORY(ORLEK_DESKTOPFILE, "org.velari.sorvex.orlek.desktopfile")
Q_LOGGING_CATEGORY(ORLEK_JETBRAINS, "org.velari.sorvex.orlek.jetbrains")
Q_LOGGING_CATEGORY(ORLEK_VSCODE, "org.velari.sorvex.orlek.vscode")
Q_LOGGING_CATEGORY(ORLEK_ZED, "org.velari.sorvex.orlek.zed")
