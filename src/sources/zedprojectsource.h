#pragma once

#include "projectsource.h"

// One release channel of Zed, with a database of recent workspaces of its own.
struct ZedChannel {
    // The database is <data folder>/zed/db/0-<channel>/db.sqlite.
    QString channel;
    // Shown as it is: the product's name is never translated.
    QString productName;
    // Its desktop entries, matched as findDesktopFiles takes names.
    QStringList desktopNames;
    QString ideKey;
};

// The known channels, in the order they are read.
const QList<ZedChannel> &zedChannels();

// Recent local workspaces of the Zed editor.
class ZedProjectSource : public ProjectSource
{
public:
    ~ZedProjectSource() override;

    QString id() const override;
    QString displayName() const override;
    QList<ProjectEntry> collectProjects() const override;
    bool matchPrefix(const QString &keyword, QString *rest) const override;
    bool open(const ProjectEntry &entry) const override;
};
