#pragma once

#include "projectsource.h"

class QJsonArray;

// One editor of the VS Code family; all keep the same layout under ~/.config.
struct VscodeVariant {
    // Folder under ~/.config, e.g. "Code - Insiders".
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

// An entry's name: the trimmed label when there is one, else the workspace
// file's name without ".code-workspace", else the last path component.
QString entryDisplayName(const QString &path, const QString &label);

// The local path of a URI text as QUrl in tolerant mode reads it; empty
// unless its scheme is "file" and the path is absolute.
QString localPathOfFileUri(const QString &uriText);

// A folder or workspace file that a workspace storage names, and when it was
// last used (ms since the epoch).
struct WorkspaceHit {
    QString path;
    qint64 time;
};

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

    // Entries kept from a variant's global-state list, and in all per variant.
    static constexpr int MAX_RECENT_PER_VARIANT = 20;
    static constexpr int MAX_PROJECTS_PER_VARIANT = 60;

    // One configuration folder of a variant: its global-state list (state
    // databases, else storage.json), then what only its workspace storage knows.
    static QList<ProjectEntry> collectVariant(const VscodeVariant &variant, const QString &configDir);
    // Entry objects of a recent list; every entry gets lastOpened = time.
    static QList<ProjectEntry> readRecentEntries(const QJsonArray &entries, const VscodeVariant &variant, qint64 time);
    // The recent submenu that the editor last put in its menu bar.
    static QList<ProjectEntry> readMenubarRecent(const QString &storagePath, const VscodeVariant &variant);
    // The list older releases kept in storage.json.
    static QList<ProjectEntry> readLegacyOpenedPaths(const QString &storagePath, const VscodeVariant &variant);
    // Folders and workspaces of configDir/User/workspaceStorage, newest first.
    static QList<WorkspaceHit> scanWorkspaceStorage(const QString &configDir);
};
