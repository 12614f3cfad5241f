#pragma once

#include <QString>

// Opens a local path with the desktop's default handler, xdg-open (the file
// manager for a directory).
bool openWithDefaultHandler(const QString &path);
