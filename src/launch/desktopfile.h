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
// in file-name order. A file that holds one of otherNames in more words than
// any of names is the other's (jetbrains-idea-ce is not jetbrains-idea's).
QStringList findDesktopFiles(const QStringList &names, const QStringList &otherNames = {});

// The command of a desktop file's "Exec" key: the program, then its
// arguments, with field codes such as %f or %U dropped and %% read as %.
// Empty when the file gives no command.
QStringList parseDesktopExec(const QString &desktopFilePath);

// The desktop entries that may open a project in one IDE.
struct DesktopEntryQuery {
    // As findDesktopFiles takes them.
    QStringList names;
    QStringList otherNames;
    // What the entry must run, ignoring case: a program's file name (after
    // "env NAME=value ..."), an AppImage's name up to its version
    // (Cursor-1.7.28-x86_64.AppImage is Cursor), or the application that
    // "flatpak run" starts.
    QStringList programs;
};

// Starts the first desktop file of findDesktopFiles whose entry is shown
// (neither NoDisplay nor Hidden), is no URL handler, whose TryExec and
// program exist, that runs one of programs and whose command starts, with
// arguments (a project's path, or options and a URI) appended last; logs each
// start in category. False when none started.
bool startFromDesktopFiles(const DesktopEntryQuery &query, const QStringList &arguments, const QLoggingCategory &(*category)());
