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
        const QChar next = raw.at(++i);
        switch (next.unicode()) {
        case u's':
            value.append(u' ');
            break;
        case u'n':
            value.append(u'\n');
            break;
        case u't':
            value.append(u'\t');
            break;
        case u'r':
            value.append(u'\r');
            break;
        case u'\\':
            value.append(u'\\');
            break;
        default:
            value.append(c);
            value.append(next);
            break;
        }
    }
    return value;
}

// The raw "Exec" of the "[Desktop Entry]" group, escapes undone. Readers of
// desktop files merge repeated groups and let a repeated key's last value
// win, and so does this one.
QString readExec(const QString &path)
{
    // Read like the IDEs' own files: a FIFO or a device in its place must not hang the service.
    RecordFile file;
    if (!readRecordFile(path, &file)) {
        return QString();
    }
    // A byte-order mark is dropped by the decoding.
    const QString text = QString::fromUtf8(file.contents);

    QString exec;
    bool inDesktopEntry = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        // Comments and blank lines have no key "Exec" and start no group.
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inDesktopEntry = line == u"[Desktop Entry]";
            continue;
        }
        if (!inDesktopEntry) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        // Exec[de] and the like are keys of their own.
        if (equals < 0 || line.left(equals).trimmed() != u"Exec") {
            continue;
        }
        exec = unescapeValue(line.mid(equals + 1));
    }
    return exec;
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
} // namespace

QString &systemRoot()
{
    static QString root;
    return root;
}

QStringList findDesktopFiles(const QStringList &names)
{
    QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    dirs.append(systemRoot() + u"/var/lib/snapd/desktop/applications"_s);
    // Flatpak's exports, which a service started by D-Bus activation or a
    // user unit may miss in XDG_DATA_DIRS; where it has them, there they stay.
    dirs.append(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/flatpak/exports/share/applications"_s);
    dirs.append(systemRoot() + u"/var/lib/flatpak/exports/share/applications"_s);
    dirs.removeDuplicates();

    QList<QStringList> nameParts;
    nameParts.reserve(names.size());
    for (const QString &name : names) {
        nameParts.append(lowerParts(name));
    }

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
            if (names.contains(baseName, Qt::CaseInsensitive)) {
                exact.append(file.absoluteFilePath());
            } else if (std::any_of(nameParts.cbegin(), nameParts.cend(), [&parts](const QStringList &name) {
                           return std::search(parts.cbegin(), parts.cend(), name.cbegin(), name.cend()) != parts.cend();
                       })) {
                containing.append(file.absoluteFilePath());
            }
        }
    }
    return exact + containing;
}

QStringList parseDesktopExec(const QString &desktopFilePath)
{
    const QString exec = readExec(desktopFilePath).trimmed();
    if (exec.isEmpty()) {
        return {};
    }
    QStringList command = splitExec(exec);
    if (command.isEmpty()) {
        return {};
    }
    // Field codes stand for what the caller passes; the caller adds the path itself.
    command.removeIf([](const QString &token) {
        return token.startsWith(u'%');
    });
    qCDebug(ORLEK_DESKTOPFILE) << "Parsed Exec of" << desktopFilePath << ":" << command;
    return command;
}

bool startFromDesktopFiles(const QStringList &names, const QString &path, const QLoggingCategory &(*category)())
{
    const QStringList desktopFiles = findDesktopFiles(names);
    for (const QString &desktopFile : desktopFiles) {
        const QStringList command = parseDesktopExec(desktopFile);
        if (command.isEmpty()) {
            continue;
        }
        // The project goes last, wherever the entry's field code stood.
        const QString program = command.constFirst();
        const QStringList arguments = command.mid(1) << path;
        qCInfo(category) << "Launching" << program << arguments;
        if (startApplication(program, arguments, QFileInfo(desktopFile).completeBaseName(), category)) {
            return true;
        }
    }
    return false;
}
