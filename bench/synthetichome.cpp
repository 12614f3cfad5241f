#include "synthetichome.h"

#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Folders that the recent lists of both families draw from, so that the
// same project often shows up in several IDEs, as it does for real users.
constexpr int poolSize = 400;
// A fixed "now" (2025-06-01), so every run writes the same times.
constexpr qint64 baseTime = 1748736000000;
constexpr qint64 hourMs = 3600 * 1000;
constexpr qint64 dayMs = 24 * hourMs;

const QStringList &words()
{
    static const QStringList list
        = u"atlas beacon cobalt delta ember falcon garnet harbor iris juniper kestrel lumen meadow nimbus orbit pixel quartz raven summit tundra umber vertex willow xenon yonder zephyr"_s
              .split(u' ');
    return list;
}

const QStringList &kinds()
{
    static const QStringList list = u"api web app cli core docs infra sdk ui service"_s.split(u' ');
    return list;
}

// Every ninth name has a blank, which the VS Code files per-cent-encode.
QString projectName(int i)
{
    const int combinations = words().size() * kinds().size();
    QString name = words()[i % words().size()] + (i % 9 == 4 ? u' ' : u'-') + kinds()[(i / words().size()) % kinds().size()];
    if (i >= combinations) {
        name += u'-' + QString::number(i / combinations + 1);
    }
    return name;
}

QString productionCode(const QString &configPrefix)
{
    static const QHash<QString, QString> codes = {
        {u"IntelliJIdea"_s, u"IU"_s},
        {u"IdeaIC"_s, u"IC"_s},
        {u"PyCharm"_s, u"PY"_s},
        {u"CLion"_s, u"CL"_s},
        {u"GoLand"_s, u"GO"_s},
        {u"WebStorm"_s, u"WS"_s},
        {u"PhpStorm"_s, u"PS"_s},
        {u"Rider"_s, u"RD"_s},
        {u"DataGrip"_s, u"DB"_s},
        {u"DataSpell"_s, u"DS"_s},
        {u"RubyMine"_s, u"RM"_s},
        {u"RustRover"_s, u"RR"_s},
        {u"Aqua"_s, u"QA"_s},
        {u"AndroidStudio"_s, u"AI"_s},
    };
    return codes.value(configPrefix, u"XX"_s);
}

// file:///... with everything but letters, digits and -._~/ encoded, as the
// editors write it.
QString fileUri(const QString &path)
{
    return u"file://"_s + QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

// Plain system calls: the generator writes tens of thousands of small files.
class Writer
{
public:
    QString error;

    bool ok() const
    {
        return error.isEmpty();
    }

    bool mkdir(const QString &path)
    {
        if (!ok()) {
            return false;
        }
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0 && errno != EEXIST) {
            return fail(path);
        }
        return true;
    }

    bool mkpath(const QString &path)
    {
        if (!ok()) {
            return false;
        }
        return QDir().mkpath(path) || fail(path);
    }

    bool write(const QString &path, const QByteArray &content, qint64 mtimeMs = -1)
    {
        if (!ok()) {
            return false;
        }
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            return fail(path);
        }
        qsizetype done = 0;
        while (done < content.size()) {
            const ssize_t n = ::write(fd, content.constData() + done, content.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                ::close(fd);
                return fail(path);
            }
            done += n;
        }
        if (mtimeMs >= 0) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {mtimeMs / 1000, (mtimeMs % 1000) * 1000000}};
            if (::futimens(fd, times) != 0) {
                ::close(fd);
                return fail(path);
            }
        }
        return ::close(fd) == 0 || fail(path);
    }

    bool touch(const QString &path, qint64 mtimeMs)
    {
        if (!ok()) {
            return false;
        }
        const struct timespec times[2] = {{0, UTIME_OMIT}, {mtimeMs / 1000, (mtimeMs % 1000) * 1000000}};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0 || fail(path);
    }

    bool fail(const QString &path, const QString &why = QString())
    {
        if (ok()) {
            error = path + u": "_s + (why.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno)) : why);
        }
        return false;
    }
};

// count distinct numbers below poolSize, in random order.
std::vector<int> samplePool(QRandomGenerator &rng, int count)
{
    std::vector<int> all(poolSize);
    std::iota(all.begin(), all.end(), 0);
    for (int i = 0; i < count; ++i) {
        std::swap(all[i], all[i + rng.bounded(poolSize - i)]);
    }
    all.resize(count);
    return all;
}

// The editor's state database: the recent list among other keys, values
// bound as text, written in one transaction.
bool writeStateDb(const QString &path, const QString &recentJson, QRandomGenerator &rng, Writer &writer)
{
    static int connectionCount = 0;
    const QString connection = u"orlek-bench-generator-%1"_s.arg(++connectionCount);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(u"PRAGMA user_version = 1"_s)
                || !query.exec(u"CREATE TABLE IF NOT EXISTS ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB)"_s) || !db.transaction()
                || !query.prepare(u"INSERT INTO ItemTable (key, value) VALUES (?, ?)"_s)) {
                error = query.lastError().text();
            } else {
                auto insert = [&](const QString &key, const QString &value) {
                    query.bindValue(0, key);
                    query.bindValue(1, value);
                    if (error.isEmpty() && !query.exec()) {
                        error = query.lastError().text();
                    }
                };
                // Real databases hold many more keys of editor state.
                for (int i = 0; i < 120; ++i) {
                    QJsonArray items;
                    for (int j = 0; j < 20; ++j) {
                        items.append(QJsonObject{{u"id"_s, u"workbench.view.extension.%1"_s.arg(rng.generate(), 0, 16)},
                            {u"pinned"_s, j % 3 != 0},
                            {u"visible"_s, j % 4 != 0},
                            {u"order"_s, j}});
                    }
                    insert(u"memento/workbench.part.%1"_s.arg(i), QString::fromUtf8(QJsonDocument(items).toJson(QJsonDocument::Compact)));
                }
                insert(u"history.recentlyOpenedPathsList"_s, recentJson);
                insert(u"workbench.telemetryOptOutShown"_s, u"true"_s);
                if (error.isEmpty() && !db.commit()) {
                    error = db.lastError().text();
                }
            }
            query.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return error.isEmpty() || writer.fail(path, error);
}

QJsonObject menuItem(const QString &id, const QString &label)
{
    return QJsonObject{{u"id"_s, id}, {u"label"_s, label}};
}

QJsonObject recentMenuItem(const QString &id, const QString &path, const QString &label)
{
    return QJsonObject{{u"id"_s, id},
        {u"uri"_s, QJsonObject{{u"$mid"_s, 1}, {u"external"_s, fileUri(path)}, {u"path"_s, path}, {u"scheme"_s, u"file"_s}}},
        {u"enabled"_s, true},
        {u"label"_s, label}};
}

// storage.json with the File menu's recent submenu, as the editor leaves it.
QByteArray storageJson(const QString &home, const QStringList &recentFolders, QRandomGenerator &rng)
{
    auto tilde = [&home](const QString &path) -> QString {
        return u"~"_s + path.mid(home.size());
    };
    QJsonArray recent
        = {menuItem(u"workbench.action.reopenClosedEditor"_s, u"&&Reopen Closed Editor"_s), QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}}};
    for (int i = 0; i < 10 && i < recentFolders.size(); ++i) {
        recent.append(recentMenuItem(u"openRecentFolder"_s, recentFolders[i], tilde(recentFolders[i])));
    }
    recent.append(QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}});
    for (int i = 0; i < 10 && i < recentFolders.size(); ++i) {
        const QString file = recentFolders[i] + u"/README.md"_s;
        recent.append(recentMenuItem(u"openRecentFile"_s, file, tilde(file)));
    }
    recent.append(QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}});
    recent.append(menuItem(u"workbench.action.openRecent"_s, u"&&More..."_s));
    recent.append(QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}});
    recent.append(menuItem(u"workbench.action.clearRecentFiles"_s, u"&&Clear Recently Opened..."_s));

    const QJsonArray fileItems = {menuItem(u"workbench.action.files.newUntitledFile"_s, u"&&New Text File"_s),
        menuItem(u"workbench.action.newWindow"_s, u"New &&Window"_s),
        QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}},
        menuItem(u"workbench.action.files.openFile"_s, u"&&Open File..."_s),
        menuItem(u"workbench.action.files.openFolder"_s, u"Open &&Folder..."_s),
        QJsonObject{{u"id"_s, u"submenuitem.MenubarRecentMenu"_s}, {u"label"_s, u"Open &&Recent"_s}, {u"submenu"_s, QJsonObject{{u"items"_s, recent}}}},
        QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}},
        menuItem(u"workbench.action.files.save"_s, u"&&Save"_s)};
    const QJsonArray editItems = {menuItem(u"undo"_s, u"&&Undo"_s), menuItem(u"redo"_s, u"&&Redo"_s)};
    const QJsonObject root{
        {u"telemetry.machineId"_s, QString::fromLatin1(QCryptographicHash::hash(QByteArray::number(rng.generate64()), QCryptographicHash::Sha256).toHex())},
        {u"theme"_s, u"vs-dark"_s},
        {u"themeBackground"_s, u"#1f1f1f"_s},
        {u"windowsState"_s,
            QJsonObject{{u"lastActiveWindow"_s,
                            QJsonObject{{u"folder"_s, recentFolders.isEmpty() ? QString() : fileUri(recentFolders.first())},
                                {u"uiState"_s, QJsonObject{{u"mode"_s, 1}, {u"x"_s, 0}, {u"y"_s, 0}, {u"width"_s, 1920}, {u"height"_s, 1048}}}}},
                {u"openedWindows"_s, QJsonArray()}}},
        {u"lastKnownMenubarData"_s,
            QJsonObject{{u"menus"_s, QJsonObject{{u"File"_s, QJsonObject{{u"items"_s, fileItems}}}, {u"Edit"_s, QJsonObject{{u"items"_s, editItems}}}}}}},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

struct RecentProject {
    // As the IDE records it, $USER_HOME$/...
    QString key;
    qint64 openTime;
    QString title;
    // Some entries lack the open time; the reader then uses the file's.
    bool recordsOpenTime;
};

// recentProjects.xml in the current layout, or Rider's recentSolutions.xml.
QByteArray recentProjectsXml(const QString &component, const QString &configPrefix, const QList<RecentProject> &projects, QRandomGenerator &rng)
{
    const QString code = productionCode(configPrefix);
    const QString build = u"%1-251.%2.%3"_s.arg(code).arg(20000 + rng.bounded(9000)).arg(rng.bounded(500));
    QString xml = u"<application>\n  <component name=\""_s + component + u"\">\n    <option name=\"additionalInfo\">\n      <map>\n"_s;
    for (qsizetype i = 0; i < projects.size(); ++i) {
        const RecentProject &project = projects[i];
        const bool last = i == projects.size() - 1;
        xml += u"        <entry key=\""_s + project.key.toHtmlEscaped() + u"\">\n          <value>\n            <RecentProjectMetaInfo frameTitle=\""_s
            + project.title.toHtmlEscaped() + u" – README.md\""_s + (last ? u" opened=\"true\""_s : QString()) + u" projectWorkspaceId=\""_s
            + QString::number(rng.generate64(), 36) + u"\">\n"_s;
        auto option = [&xml](const QString &name, const QString &value) {
            xml += u"              <option name=\""_s + name + u"\" value=\""_s + value + u"\" />\n"_s;
        };
        option(u"activationTimestamp"_s, QString::number(project.openTime + rng.bounded(3 * hourMs)));
        option(u"binFolder"_s, u"$APPLICATION_HOME_DIR$/bin"_s);
        option(u"build"_s, build);
        option(u"buildTimestamp"_s, QString::number(baseTime - 120 * dayMs));
        xml += u"              <option name=\"colorInfo\">\n                <RecentProjectColorInfo associatedIndex=\""_s + QString::number(rng.bounded(9))
            + u"\" />\n              </option>\n"_s;
        if (code == u"RD"_s) {
            option(u"metadata"_s, u"{&quot;kind&quot;:&quot;solution&quot;}"_s);
        }
        option(u"productionCode"_s, code);
        if (project.recordsOpenTime) {
            option(u"projectOpenTimestamp"_s, QString::number(project.openTime));
        }
        xml += u"              <frame x=\"%1\" y=\"%2\" width=\"1680\" height=\"1010\" />\n"_s.arg(rng.bounded(200)).arg(rng.bounded(100));
        xml += u"            </RecentProjectMetaInfo>\n          </value>\n        </entry>\n"_s;
    }
    xml += u"      </map>\n    </option>\n"_s;
    if (!projects.isEmpty()) {
        xml += u"    <option name=\"lastOpenedProject\" value=\""_s + projects.last().key.toHtmlEscaped() + u"\" />\n"_s;
    }
    xml += u"    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/IdeaProjects\" />\n  </component>\n</application>"_s;
    return xml.toUtf8();
}

// Everything but the workspace storage: the project pool, the JetBrains
// version directories and each VS Code variant's global state. Returns the
// recent folders of each variant.
QList<QStringList> writeBase(const QString &home, HomeCounts *counts, Writer &writer)
{
    QRandomGenerator rng(7);
    const QString config = home + u"/.config"_s;
    writer.mkpath(config);
    writer.mkpath(home + u"/src"_s);
    writer.mkpath(home + u"/IdeaProjects"_s);
    for (int i = 0; i < poolSize; ++i) {
        const QString folder = home + u"/src/"_s + projectName(i);
        writer.mkdir(folder);
        writer.write(folder + u"/README.md"_s, "# " + projectName(i).toUtf8() + '\n');
    }
    auto poolFolder = [&home](int i) -> QString {
        return home + u"/src/"_s + projectName(i);
    };

    // JetBrains: three versions per product; the newer ones share most
    // projects with the older ones, as an upgraded IDE imports its list.
    const QString jetbrainsRoot = config + u"/JetBrains"_s;
    const QString googleRoot = config + u"/Google"_s;
    writer.mkpath(jetbrainsRoot + u"/consentOptions"_s);
    writer.mkpath(jetbrainsRoot + u"/PrivacyPolicy"_s);
    writer.mkpath(googleRoot);
    const int versionCount = SyntheticHome::jetbrainsVersions;
    const int perFile = SyntheticHome::entriesPerFile;
    for (const JetbrainsIde &ide : jetbrainsIdes()) {
        const bool android = ide.ideKey == u"androidstudio"_s;
        const bool rider = ide.ideKey == u"rider"_s;
        const QStringList versions = android ? QStringList{u"2024.2.1"_s, u"2024.3.2"_s, u"2025.1.1"_s} : QStringList{u"2024.2"_s, u"2024.3"_s, u"2025.1"_s};
        const std::vector<int> rowPool = samplePool(rng, perFile + 10 * (versionCount - 1));
        for (int v = 0; v < versionCount; ++v) {
            const QString options = (android ? googleRoot : jetbrainsRoot) + u'/' + ide.configPrefix + versions[v] + u"/options"_s;
            writer.mkpath(options);
            const qint64 versionTime = baseTime - (versionCount - 1 - v) * 90 * dayMs;
            QList<RecentProject> projects;
            QList<RecentProject> solutions;
            qint64 previous = 0;
            for (int k = 0; k < perFile; ++k) {
                const int index = rowPool[v * 10 + k];
                // Oldest first: the most recently opened project is the map's last entry.
                qint64 openTime = versionTime - (perFile - 1 - k) * 6 * hourMs - rng.bounded(hourMs);
                if (k % 17 == 5) {
                    openTime = previous;
                }
                previous = openTime;
                projects.append({u"$USER_HOME$/src/"_s + projectName(index), openTime, projectName(index), k % 10 != 3});
                if (rider) {
                    const QString solution = projectName(index).remove(u' ') + u".sln"_s;
                    writer.write(poolFolder(index) + u'/' + solution, "Microsoft Visual Studio Solution File, Format Version 12.00\n");
                    solutions.append({u"$USER_HOME$/src/"_s + projectName(index) + u'/' + solution, openTime, solution, true});
                }
            }
            writer.write(options + u"/recentProjects.xml"_s, recentProjectsXml(u"RecentProjectsManager"_s, ide.configPrefix, projects, rng), versionTime);
            counts->jetbrainsEntries += projects.size();
            if (rider) {
                writer.write(
                    options + u"/recentSolutions.xml"_s, recentProjectsXml(u"RiderRecentProjectsManager"_s, ide.configPrefix, solutions, rng), versionTime);
                counts->riderSolutions += solutions.size();
            }
            if (v == versionCount - 1) {
                counts->jetbrainsNewestPaths += projects.size() + solutions.size();
            }
        }
    }

    // VS Code: per variant the recent list in the state database, and
    // storage.json. The workspace storage comes later, grown to size.
    QList<QStringList> allRecent;
    for (const VscodeVariant &variant : vscodeVariants()) {
        const QString user = config + u'/' + variant.configDir + u"/User"_s;
        const QString globalStorage = user + u"/globalStorage"_s;
        writer.mkpath(globalStorage);
        writer.mkpath(user + u"/workspaceStorage"_s);
        writer.mkpath(home + u"/work/"_s + variant.executable);

        QStringList recentFolders;
        QJsonArray entries;
        for (int index : samplePool(rng, SyntheticHome::recentPerVariant)) {
            recentFolders.append(poolFolder(index));
            entries.append(QJsonObject{{u"folderUri"_s, fileUri(recentFolders.last())}});
        }
        counts->vscodeRecent += recentFolders.size();
        const QString stateDb = globalStorage + u"/state.vscdb"_s;
        const QString recentJson = QString::fromUtf8(QJsonDocument(QJsonObject{{u"entries"_s, entries}}).toJson(QJsonDocument::Compact));
        if (writer.ok() && writeStateDb(stateDb, recentJson, rng, writer)) {
            ++counts->stateDatabases;
            writer.touch(stateDb, baseTime - hourMs);
            QFile::remove(stateDb + u".backup"_s);
            if (!QFile::copy(stateDb, stateDb + u".backup"_s)) {
                writer.fail(stateDb + u".backup"_s);
            }
        }
        writer.write(globalStorage + u"/storage.json"_s, storageJson(home, recentFolders, rng), baseTime - hourMs);
        allRecent.append(recentFolders);
    }
    return allRecent;
}

} // namespace

SyntheticHome::SyntheticHome(const QString &home) : m_home(home)
{
}

bool SyntheticHome::generate(int dirsPerVariant, QString *error)
{
    QElapsedTimer timer;
    timer.start();
    Writer writer;
    if (m_recentFolders.isEmpty()) {
        m_recentFolders = writeBase(m_home, &m_counts, writer);
    }
    const QString config = m_home + u"/.config"_s;
    for (qsizetype v = 0; v < vscodeVariants().size() && writer.ok(); ++v) {
        const VscodeVariant &variant = vscodeVariants()[v];
        const QString workspaceStorage = config + u'/' + variant.configDir + u"/User/workspaceStorage"_s;
        const QString workRoot = m_home + u"/work/"_s + variant.executable;
        const QStringList &recentFolders = m_recentFolders[v];
        for (int i = m_dirsPerVariant; i < dirsPerVariant && writer.ok(); ++i) {
            // Seeded by position, so a grown home equals one written at its final size.
            QRandomGenerator rng(quint32(v * 1000003 + i));
            QString target;
            bool workspace = false;
            qint64 usedTime;
            if (i < recentFolders.size()) {
                target = recentFolders[i];
                usedTime = baseTime - (i + 1) * 2 * hourMs;
            } else {
                const QString name = projectName(i % poolSize) + u'-' + QString::number(i);
                workspace = i % 10 == 9;
                if (workspace) {
                    target = workRoot + u'/' + name + u".code-workspace"_s;
                    writer.write(target, "{\n\t\"folders\": [\n\t\t{\n\t\t\t\"path\": \".\"\n\t\t}\n\t]\n}");
                } else {
                    target = workRoot + u'/' + name;
                    writer.mkdir(target);
                }
                usedTime = baseTime - dayMs - rng.bounded(qint64(700) * dayMs);
            }
            const QString uri = fileUri(target);
            const QString dir
                = workspaceStorage + u'/' + QString::fromLatin1(QCryptographicHash::hash((variant.configDir + uri).toUtf8(), QCryptographicHash::Md5).toHex());
            writer.mkdir(dir);
            const QByteArray json = "{\n  \"" + QByteArray(workspace ? "workspace" : "folder") + "\": \"" + uri.toUtf8() + "\"\n}";
            // Most directories keep a state database, whose time is the last use.
            if (i % 8 != 7) {
                writer.write(dir + u"/workspace.json"_s, json, usedTime - rng.bounded(qint64(300) * dayMs));
                writer.write(dir + u"/state.vscdb"_s, QByteArray(), usedTime);
            } else {
                writer.write(dir + u"/workspace.json"_s, json, usedTime);
            }
        }
    }
    m_dirsPerVariant = std::max(m_dirsPerVariant, dirsPerVariant);
    m_counts.workspaceDirs = m_dirsPerVariant * vscodeVariants().size();
    m_counts.generationMs = timer.elapsed();
    if (!writer.ok()) {
        *error = writer.error;
        return false;
    }
    return true;
}
