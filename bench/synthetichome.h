#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a generated home holds, for the report and for checking the I/O floor.
struct HomeCounts {
    int workspaceDirs = 0;
    // Entries of all recentProjects.xml files, every version directory.
    int jetbrainsEntries = 0;
    int riderSolutions = 0;
    // Paths recorded in the newest version directory of every catalogue row.
    int jetbrainsNewestPaths = 0;
    int vscodeRecent = 0;
    int stateDatabases = 0;
    // Of the last generate() call.
    qint64 generationMs = 0;
};

// Writes a home directory as a heavy user of every supported IDE would have
// it: for each VS Code variant a state database with the recent list, a
// storage.json and `dirsPerVariant` workspace-storage directories; for each
// JetBrains catalogue row three version directories of recent projects, and
// Rider's recent solutions. Every recorded path exists. The content is the
// same for the same size, so runs can be compared.
class SyntheticHome
{
public:
    static constexpr int recentPerVariant = 50;
    static constexpr int jetbrainsVersions = 3;
    static constexpr int entriesPerFile = 50;

    explicit SyntheticHome(const QString &home);

    // Writes the home, or grows the workspace storage of one written before
    // to the new size (it never shrinks): growing leaves the same files as
    // writing at that size, without deleting and creating everything again.
    // False with a message in error when a file cannot be written.
    bool generate(int dirsPerVariant, QString *error);

    HomeCounts counts() const
    {
        return m_counts;
    }

private:
    QString m_home;
    HomeCounts m_counts;
    int m_dirsPerVariant = 0;
    // Per variant, in catalogue order; empty until the home is written.
    QList<QStringList> m_recentFolders;
};
