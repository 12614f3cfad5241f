#pragma once

#include <QString>

// Opens a local path with the desktop's default handler (the file manager for
// a directory). Works in a windowless QCoreApplication too, where Qt's own
// desktop services refuse to run.
bool openWithDefaultHandler(const QString &path);
