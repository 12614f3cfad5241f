#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

// Where the system folders of snap's and Flatpak's entries are found: "/"
// unless tests point it into a home of their own.
QString &systemRoot();

// Desktop files (*.desktop) in the applications folders, user's first, then
// the system's, then snap's, then Flatpak's exports (user's, system's), each
// folder once, that match any of names, ignoring case: first those whose
// complete base name is one of names, then those whose base name holds one of
// names as whole words (split at ".", "-" and "_"). Within a folder they come
// in file-name order.
QStringList findDesktopFiles(const QStringList &names);

// The command of a desktop file's "Exec" key: the program, then its
// arguments, with field codes such as %f or %U dropped. Empty when the file
// gives no command.
QStringList parseDesktopExec(const QString &desktopFilePath);

// Starts the first desktop file of findDesktopFiles(names) whose command
// starts, with path appended as its last argument, and logs each try in
// category. False when none started.
bool startFromDesktopFiles(const QStringList &names, const QString &path, const QLoggingCategory &(*category)());
