#pragma once

#include "projectsource.h"

// Recent projects of the JetBrains IDEs and Android Studio.
class JetbrainsProjectSource : public ProjectSource
{
public:
    ~JetbrainsProjectSource() override;

    QString id() const override;
    QString displayName() const override;
    QList<ProjectEntry> collectProjects() const override;
};
