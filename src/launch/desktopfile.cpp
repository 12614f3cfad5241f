#include "desktopfile.h"

#include "application.h"
#include "common/logging.h"
#include "common/recordfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Undoes the string escapes of desktop files. An unknown escape is kept as
// written rather than losing the backslash.
QString unescapeValue(QStringView raw)
{
    QString value;
    value.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\' || i + 1 == raw.size()) {
            value.append(c);
            continue;
        }
        // The five escapes of the format, in the same order as what they stand for.
        static constexpr QStringView escapes = u"sntr\\";
        static constexpr QStringView meanings = u" \n\t\r\\";
        const QChar next = raw.at(++i);
        const qsizetype known = escapes.indexOf(next);
        if (known >= 0) {
            value.append(meanings.at(known));
        } else {
            value.append(c);
            value.append(next);
        }
    }
    return value;
}

// The keys of the "[Desktop Entry]" group that decide whether and how it
// starts, escapes undone.
struct DesktopEntry {
    QString exec;
    QString tryExec;
    // NoDisplay or Hidden: not to be offered, or deleted by the user.
    bool hidden = false;
};

// Readers of desktop files merge repeated groups and let a repeated key's
// last value win, and so does this one.
DesktopEntry readEntry(const QString &path)
{
    DesktopEntry entry;
    // Read like the IDEs' own files: a FIFO or a device in its place must not hang the service.
    RecordFile file;
    if (!readRecordFile(path, &file)) {
        return entry;
    }
    // A byte-order mark is dropped by the decoding.
    const QString text = QString::fromUtf8(file.contents);

    bool inDesktopEntry = false;
    bool noDisplay = false;
    bool hidden = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        // Comments and blank lines have no key and start no group.
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inDesktopEntry = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inDesktopEntry || equals < 0) {
            continue;
        }
        // Exec[de] and the like are keys of their own.
        const QStringView key = line.left(equals).trimmed();
        const QString value = unescapeValue(line.mid(equals + 1).trimmed());
        if (key == u"Exec") {
            entry.exec = value;
        } else if (key == u"TryExec") {
            entry.tryExec = value;
        } else if (key == u"NoDisplay") {
            noDisplay = value == u"true"_s;
        } else if (key == u"Hidden") {
            hidden = value == u"true"_s;
        }
    }
    entry.hidden = noDisplay || hidden;
    return entry;
}

// The arguments of an Exec value: blanks separate them, double quotes group
// words, and inside quotes a backslash escapes '"', '`', '$' and '\' (a
// second level on top of the string escapes). Empty arguments are dropped.
QStringList splitExec(QStringView exec)
{
    QStringList arguments;
    QString argument;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted && c == u'\\' && i + 1 < exec.size() && QStringView(u"\"`$\\").contains(exec.at(i + 1))) {
            argument.append(exec.at(++i));
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (quoted || !c.isSpace()) {
            argument.append(c);
        } else if (!argument.isEmpty()) {
            arguments.append(argument);
            argument.clear();
        }
    }
    if (!argument.isEmpty()) {
        arguments.append(argument);
    }
    return arguments;
}

// The words of a desktop file's base name or of a candidate name, lower-cased:
// "com.jetbrains.IntelliJ-IDEA-Ultimate" gives com, jetbrains, intellij,
// idea and ultimate. Names match by whole words, so that codeblocks or
// kcm_cursortheme are no entries of code or cursor.
QStringList lowerParts(const QString &name)
{
    static const QRegularExpression separators(u"[._-]"_s);
    return name.toLower().split(separators, Qt::SkipEmptyParts);
}

// The number of words of the longest of names that parts hold in a row; 0
// when they hold none.
qsizetype longestMatch(const QStringList &parts, const QList<QStringList> &names)
{
    qsizetype longest = 0;
    for (const QStringList &name : names) {
        if (name.size() > longest && std::search(parts.cbegin(), parts.cend(), name.cbegin(), name.cend()) != parts.cend()) {
            longest = name.size();
        }
    }
    return longest;
}

QList<QStringList> partsOf(const QStringList &names)
{
    QList<QStringList> parts;
    parts.reserve(names.size());
    for (const QString &name : names) {
        parts.append(lowerParts(name));
    }
    return parts;
}

// The command of an Exec value, field codes dropped and %% read as %.
QStringList commandOf(const QString &exec)
{
    QStringList command = splitExec(exec);
    // Field codes stand for what the caller passes; the caller adds the path itself.
    command.removeIf([](const QString &token) {
        return token.startsWith(u'%') && !token.startsWith(u"%%"_s);
    });
    for (QString &token : command) {
        token.replace(u"%%"_s, u"%"_s);
    }
    return command;
}

// The executable file a program stands for, as it would be started: a path,
// or a name looked up on PATH. Empty when there is none.
QString executableOf(const QString &program)
{
    if (!program.contains(u'/')) {
        return QStandardPaths::findExecutable(program);
    }
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? program : QString();
}

// Where the program of a command stands: after "env NAME=value ...", as
// stale snap entries and hand-made wrappers start theirs.
qsizetype programIndex(const QStringList &command)
{
    if (QFileInfo(command.constFirst()).fileName() != u"env"_s) {
        return 0;
    }
    qsizetype i = 1;
    while (i < command.size() && command.at(i).contains(u'=')) {
        ++i;
    }
    return i;
}

// What a command runs, for telling whose entry it is: the application that
// "flatpak run" starts, an AppImage by the name before its version, else the
// program's file name.
QString runsOf(const QStringList &command, qsizetype programAt)
{
    const QString name = QFileInfo(command.value(programAt)).fileName();
    const qsizetype run = name == u"flatpak"_s ? command.indexOf(u"run"_s, programAt) : -1;
    for (qsizetype i = run + 1; run > programAt && i < command.size(); ++i) {
        // The options before the application are written --name=value.
        if (!command.at(i).startsWith(u'-')) {
            return command.at(i);
        }
    }
    if (name.endsWith(u".AppImage"_s, Qt::CaseInsensitive)) {
        return lowerParts(name).value(0);
    }
    return name;
}

// The command of a desktop file if it may open a project in one of programs,
// else nothing.
QStringList usableCommand(const QString &desktopFile, const QStringList &programs)
{
    const DesktopEntry entry = readEntry(desktopFile);
    const QStringList command = commandOf(entry.exec);
    // Given a path, a URL handler opens nothing.
    if (command.isEmpty() || entry.hidden || command.contains(u"--open-url"_s)) {
        return {};
    }
    // What TryExec names is what must be installed for the entry to count.
    if (!entry.tryExec.isEmpty() && executableOf(entry.tryExec).isEmpty()) {
        qCDebug(ORLEK_DESKTOPFILE) << "Skipping" << desktopFile << ": not installed";
        return {};
    }
    const qsizetype programAt = programIndex(command);
    if (!programs.contains(runsOf(command, programAt), Qt::CaseInsensitive)) {
        qCDebug(ORLEK_DESKTOPFILE) << "Skipping" << desktopFile << ": another program's entry";
        return {};
    }
    // "env" would start and fail, and the answer would say the IDE opened.
    if (executableOf(command.value(programAt)).isEmpty()) {
        qCWarning(ORLEK_DESKTOPFILE) << "Passing over" << desktopFile << ": its program" << command.value(programAt) << "is missing";
        return {};
    }
    return command;
}
} // namespace

QString &systemRoot()
{
    static QString root;
    return root;
}

QStringList findDesktopFiles(const QStringList &names, const QStringList &otherNames)
{
    QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    dirs.append(systemRoot() + u"/var/lib/snapd/desktop/applications"_s);
    // Flatpak's exports, which a service started by D-Bus activation or a
    // user unit may miss in XDG_DATA_DIRS; where it has them, there they stay.
    dirs.append(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/flatpak/exports/share/applications"_s);
    dirs.append(systemRoot() + u"/var/lib/flatpak/exports/share/applications"_s);
    dirs.removeDuplicates();

    const QList<QStringList> nameParts = partsOf(names);
    const QList<QStringList> otherParts = partsOf(otherNames);

    // A file named exactly as a candidate is the IDE's own entry; one that
    // merely contains the name may be a variant or a URL handler.
    QStringList exact;
    QStringList containing;
    for (const QString &dirPath : std::as_const(dirs)) {
        const QDir dir(dirPath);
        if (!dir.exists()) {
            continue;
        }
        QFileInfoList files = dir.entryInfoList({u"*.desktop"_s}, QDir::Files | QDir::Readable, QDir::Unsorted);
        std::sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
            return a.fileName() < b.fileName();
        });
        for (const QFileInfo &file : std::as_const(files)) {
            const QString baseName = file.completeBaseName();
            const QStringList parts = lowerParts(baseName);
            const qsizetype ours = longestMatch(parts, nameParts);
            if (ours == 0 || ours < longestMatch(parts, otherParts)) {
                continue;
            }
            (names.contains(baseName, Qt::CaseInsensitive) ? exact : containing).append(file.absoluteFilePath());
        }
    }
    return exact + containing;
}

QStringList parseDesktopExec(const QString &desktopFilePath)
{
    const QStringList command = commandOf(readEntry(desktopFilePath).exec);
    if (!command.isEmpty()) {
        qCDebug(ORLEK_DESKTOPFILE) << "Parsed Exec of" << desktopFilePath << ":" << command;
    }
    return command;
}

bool startFromDesktopFiles(const DesktopEntryQuery &query, const QStringList &arguments, const QLoggingCategory &(*category)())
{
    const QStringList desktopFiles = findDesktopFiles(query.names, query.otherNames);
    for (const QString &desktopFile : desktopFiles) {
        const QStringList command = usableCommand(desktopFile, query.programs);
        if (command.isEmpty()) {
            continue;
        }
        // The project goes last, wherever the entry's field code stood.
        const QString program = command.constFirst();
        const QStringList all = command.mid(1) + arguments;
        qCInfo(category) << "Launching" << program << all;
        if (startApplication(program, all, QFileInfo(desktopFile).completeBaseName(), category)) {
            return true;
        }
    }
    return false;
}
