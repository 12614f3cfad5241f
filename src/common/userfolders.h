#pragma once

#include <QString>

// The user's configuration and data folders as the XDG base directories name
// them: XDG_CONFIG_HOME and XDG_DATA_HOME when they hold an absolute path,
// else ~/.config and ~/.local/share. Relative values are ignored, as the
// XDG rules say; Qt's QStandardPaths would take them.
QString configHome();
QString dataHome();
