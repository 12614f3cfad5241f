#pragma once

#include "projectsource.h"

// One JetBrains product (or edition) as the service knows it.
struct JetbrainsIde {
    // Version directories are named this prefix plus a version, e.g. PyCharm2024.1.
    QString configPrefix;
    // Untranslated; translated in context "JetbrainsProjectSource" where shown.
    const char *productName;
    // Desktop entries and Toolbox application folders are matched by these
    // (by whole words, and as part of the folder name, ignoring case); one
    // that matches the other edition's in more is that edition's.
    QStringList desktopNames;
    QStringList toolboxNames;
    // The IDE's own start script in its bin folder, which also holds tools
    // such as format.sh that must never be started with a project.
    QString launcherScript;
    // What else its desktop entries may run: the native launcher, snap
    // commands, Flatpak ids.
    QStringList programs;
    QString iconName;
    QString ideKey;
    // The key of the other edition of the product, tried when this one has
    // no launcher. A row whose configPrefix extends its other edition's
    // (PyCharmCE) is read through that row, so that the newest version of
    // either edition speaks for the product.
    QString otherEdition;
    // Rider's second list, of solutions, beside recentProjects.xml: its
    // entries are grouped as "<product> - Solutions".
    QString solutionsFile;
    // The folder under the configuration folder that holds the version
    // folders, and the Flatpak ids (by prefix) whose installs keep that
    // same tree under ~/.var/app/<id>/config.
    QString settingsDir;
    QString flatpakIdPrefix;
};

// The known products and editions, in the order they are read.
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
