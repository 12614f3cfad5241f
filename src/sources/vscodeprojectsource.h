#pragma once

#include "projectsource.h"

// Recent folders and workspaces of the VS Code family of editors.
class VscodeProjectSource : public ProjectSource
{
public:
    ~VscodeProjectSource() override;

    QString id() const override;
    QString displayName() const override;
    QList<ProjectEntry> collectProjects() const override;
};
