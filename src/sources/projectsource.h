#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One recent project as a source reports it. Sources set id and path to the
// same absolute path, but for a remote folder, whose id is its URI, and a
// workspace of several paths, whose id is all of them ("\n" between them)
// and whose path is the first: id names the item from a search to a later
// action and tells projects apart, path is what is matched, shown and, for a
// local one, opened.
struct ProjectEntry {
    QString id;
    QString name;
    QString path;
    QString icon;
    QString sourceId;
    QString ideName;
    QString ideKey;
    qint64 lastOpened = 0;
    // The recent list the entry comes from, and how many of that list's
    // entries one answer shows once the typed text has picked them (0: all).
    QString list;
    int listLimit = 0;
};

// A family of IDEs whose recent projects the service offers. Sources are
// stateless: every collectProjects() call reads the IDEs' files again.
class ProjectSource
{
public:
    virtual ~ProjectSource();

    virtual QString id() const = 0;
    virtual QString displayName() const = 0;
    virtual QList<ProjectEntry> collectProjects() const = 0;
    virtual bool matchPrefix(const QString &keyword, QString *rest) const;
    virtual bool open(const ProjectEntry &entry) const;
};

// True when the first space-separated word of keyword equals one of aliases,
// ignoring case; rest then receives the trimmed text after that word (a null
// string when there is no space).
bool matchKeywordPrefix(const QString &keyword, const QStringList &aliases, QString *rest);
