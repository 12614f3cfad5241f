#pragma once

#include <QString>

// What one pass of the I/O floor touched, to check it against the home.
struct FloorCounts {
    int listings = 0;
    int filesRead = 0;
    qint64 bytesRead = 0;
    int queries = 0;
    int stats = 0;
    // Distinct existing paths of the newest JetBrains files, existing folders
    // of the VS Code recent lists, existing targets of workspace storage.
    int jetbrainsPaths = 0;
    int vscodeRecentPaths = 0;
    int workspacePaths = 0;
};

// The file-system work that any search must do on a home made by
// SyntheticHome, with plain system calls; see the definition for what it
// covers.
FloorCounts ioFloor(const QString &home);
