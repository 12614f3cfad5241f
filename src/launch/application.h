#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

// Starts program (a path, or a name looked up on PATH) with arguments,
// detached, as desktops start applications: where the session bus has a
// systemd user manager, in a transient scope of its own named after
// application (a desktop-entry id; the program's file name when empty), so
// that nothing of it stays in the service's control group. The program waits
// for its scope a few hundred ms at most; a scope that cannot be made is
// warned about in category and never keeps the program from starting. False
// when the program could not be started.
bool startApplication(const QString &program, const QStringList &arguments, QString application, const QLoggingCategory &(*category)());
