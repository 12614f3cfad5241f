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

    // The projects one recent-projects file offers, in file order. label is
    // empty, or the translated kind of list ("Solutions") for the group name.
    static QList<ProjectEntry> readRecentFile(const QString &filePath, const JetbrainsIde &row, const QString &label);
    // The same for a file's contents, written at fileTime.
    static QList<ProjectEntry> readRecentXml(const QByteArray &xml, qint64 fileTime, const JetbrainsIde &row, const QString &label);
    // Appends an entry for path as the IDE recorded it, unless it is empty,
    // not absolute after expanding $USER_HOME$, or no longer exists.
    static void addRecentProject(const JetbrainsIde &row, const QString &label, QList<ProjectEntry> &list, const QString &path, qint64 time);
};
