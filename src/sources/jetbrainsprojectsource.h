#pragma once

#include "projectsource.h"

// One JetBrains product (or edition) as the service knows it.
struct JetbrainsIde {
    // Version directories are named this prefix plus a version, e.g. PyCharm2024.1.
    QString configPrefix;
    // Untranslated; translated in context "JetbrainsProjectSource" where shown.
    const char *productName;
    QStringList desktopNames;
    QStringList toolboxNames;
    // The IDE's own start script in its bin folder, which also holds tools
    // such as format.sh that must never be started with a project.
    QString launcherScript;
    QString iconName;
    QString ideKey;
};

// The fourteen known products, in the order they are read.
const QList<JetbrainsIde> &jetbrainsIdes();

// Recent projects of the JetBrains IDEs and Android Studio.
class JetbrainsProjectSource : public ProjectSource
{
public:
    ~JetbrainsProjectSource() override;

    QString id() const override;
    QString displayName() const override;
    QList<ProjectEntry> collectProjects() const override;
    bool matchPrefix(const QString &keyword, QString *rest) const override;
    bool open(const ProjectEntry &entry) const override;
};
