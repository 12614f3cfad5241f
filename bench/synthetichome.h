#pragma once

#include <QString>

// What a synthetic home holds.
struct HomeCounts {
    // Folders, workspaces and files of the recent lists.
    int recentEntries = 0;
    int stateDatabases = 0;
    int jetbrainsEntries = 0;
    int riderSolutions = 0;
    // What the I/O floor stats: the entries of the newest JetBrains files,
    // the state databases' recent lists and the workspace-storage targets.
    int searchedPaths = 0;
};

// Writes a home as a heavy user of every supported IDE has it; the same size
// always gives the same files. A file that cannot be written shows as a path
// or a database that the floor does not find.
HomeCounts writeSyntheticHome(const QString &home, int dirsPerVariant);

// What one pass of the I/O floor did, and how many recorded paths it found.
struct FloorCounts {
    int listings = 0;
    int filesRead = 0;
    qint64 bytesRead = 0;
    int queries = 0;
    int stats = 0;
    int paths = 0;
};

// The file-system work of a search that reads everything on such a home,
// with plain system calls and without parsing (README.md lists it).
FloorCounts ioFloor(const QString &home);
