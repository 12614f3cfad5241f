#pragma once

#include "sources/projectsource.h"

#include <QStringList>

// A source whose entries, prefixes and opening a test chooses. It counts its
// collections and remembers what it was asked to open.
class FakeSource : public ProjectSource
{
public:
    explicit FakeSource(const QString &sourceId, const QString &name = QString(), const QStringList &aliases = {})
        : sourceId(sourceId), name(name), aliases(aliases)
    {
    }

    QString id() const override
    {
        return sourceId;
    }

    QString displayName() const override
    {
        return name;
    }

    QList<ProjectEntry> collectProjects() const override
    {
        ++collections;
        return entries;
    }

    bool matchPrefix(const QString &keyword, QString *rest) const override
    {
        if (aliases.isEmpty()) {
            return ProjectSource::matchPrefix(keyword, rest);
        }
        return matchKeywordPrefix(keyword, aliases, rest);
    }

    bool open(const ProjectEntry &entry) const override
    {
        opened.append(entry);
        return openResult;
    }

    // An entry of this source; id and path are the same, as real sources make them.
    ProjectEntry entry(const QString &path, const QString &entryName, qint64 lastOpened, const QString &ideName = QString()) const
    {
        ProjectEntry e;
        e.id = path;
        e.path = path;
        e.name = entryName;
        e.icon = sourceId + QStringLiteral("-icon");
        e.sourceId = sourceId;
        e.ideName = ideName;
        e.ideKey = sourceId + QStringLiteral("-key");
        e.lastOpened = lastOpened;
        return e;
    }

    QString sourceId;
    QString name;
    QStringList aliases;
    QList<ProjectEntry> entries;
    bool openResult = true;
    mutable int collections = 0;
    mutable QList<ProjectEntry> opened;
};
