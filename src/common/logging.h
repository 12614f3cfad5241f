#pragma once

#include <QLoggingCategory>

// "org.velari.sorvex.orlek": start-up, requests, shortcuts and actions.
Q_DECLARE_LOGGING_CATEGORY(ORLEK)
// "org.velari.sorvex.orlek.desktopfile": desktop-entry lookup.
Q_DECLARE_LOGGING_CATEGORY(ORLEK_DESKTOPFILE)
// "org.velari.sorvex.orlek.jetbrains": JetBrains discovery and launching.
Q_DECLARE_LOGGING_CATEGORY(ORLEK_JETBRAINS)
// "org.velari.sorvex.orlek.vscode": VS Code discovery and launching.
Q_DECLARE_LOGGING_CATEGORY(ORLEK_VSCODE)
// "org.velari.sorvex.orlek.zed": Zed discovery and launching.
Q_DECLARE_LOGGING_CATEGORY(ORLEK_ZED)
