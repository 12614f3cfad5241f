#pragma once

#include "projectsource.h"

// One editor of the VS Code family; all keep the same layout in the user's
// configuration folder.
struct VscodeVariant {
    // Folder in the configuration folder, e.g. "Code - Insiders".
    QString configDir;
    // Untranslated; translated in context "VscodeProjectSource" where shown.
    const char *productName;
    // Command that starts the editor; also the entries' ideKey.
    QString executable;
    QString iconName;
    // Extra global-state database under the home folder, read first; may be empty.
    QString sharedStateDb;
    // Flatpak builds keep the same folder under ~/.var/app/<id>/config.
    QStringList flatpakIds;
};

// The known editors, in the order they are read.
const QList<VscodeVariant> &vscodeVariants();

// Recent folders and workspaces of the VS Code family of editors.
class VscodeProjectSource : public ProjectSource
{
public:
    ~VscodeProjectSource() override;

    QString id() const override;
    QString displayName() const override;
    QList<ProjectEntry> collectProjects() const override;
    bool matchPrefix(const QString &keyword, QString *rest) const override;
    bool open(const ProjectEntry &entry) const override;
};
