#include "synthetichome.h"

#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <numeric>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Whether a row's folders are read through its other edition's row (PyCharmCE
// through PyCharm): the home has none of its own.
bool readThroughOtherEdition(const JetbrainsIde &ide)
{
    const QList<JetbrainsIde> &ides = jetbrainsIdes();
    return std::any_of(ides.cbegin(), ides.cend(), [&ide](const JetbrainsIde &other) {
        return other.ideKey == ide.otherEdition && ide.configPrefix.startsWith(other.configPrefix);
    });
}

// A fixed "now" (2025-06-01), so every run writes the same times.
constexpr qint64 now = 1748736000000;
constexpr qint64 hour = 3600 * 1000;
constexpr qint64 day = 24 * hour;

// One entry of a recent-projects file as the IDEs write it.
constexpr char16_t entryXml[] = uR"(        <entry key="%1">
          <value>
            <RecentProjectMetaInfo frameTitle="%2 – README.md" projectWorkspaceId="%3">
              <option name="activationTimestamp" value="%4" />
              <option name="binFolder" value="$APPLICATION_HOME_DIR$/bin" />
              <option name="build" value="%5-251.23774.%6" />
              <option name="buildTimestamp" value="1738368000000" />
              <option name="colorInfo">
                <RecentProjectColorInfo associatedIndex="%7" />
              </option>%8
              <option name="productionCode" value="%5" />%9
              <frame x="40" y="30" width="1680" height="1010" />
            </RecentProjectMetaInfo>
          </value>
        </entry>
)";

// The 400 projects under ~/src that both families open; every ninth name
// has a blank, which the VS Code files per-cent-encode.
QString projectName(int i)
{
    static const QStringList words
        = u"atlas beacon cobalt delta ember falcon garnet harbor iris juniper kestrel lumen meadow nimbus orbit pixel quartz raven summit tundra umber vertex willow xenon yonder zephyr"_s
              .split(u' ');
    static const QStringList kinds = u"api web app cli core docs infra sdk ui service"_s.split(u' ');
    const QString name = words[i % 26] + (i % 9 == 4 ? u' ' : u'-') + kinds[i / 26 % 10];
    return i < 260 ? name : name + u'-' + QString::number(i / 260 + 1);
}

QList<int> samplePool(QRandomGenerator &rng, int count)
{
    QList<int> pool(400);
    std::iota(pool.begin(), pool.end(), 0);
    std::shuffle(pool.begin(), pool.end(), rng);
    return pool.first(count);
}

QString fileUri(const QString &path)
{
    return u"file://"_s + QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

// Null content only sets the time.
void writeFile(const QString &path, const QByteArray &content, qint64 time)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    if (file.open(content.isNull() ? QIODevice::Append : QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush()) {
        file.setFileTime(QDateTime::fromMSecsSinceEpoch(time), QFileDevice::FileModificationTime);
    }
}

// The editor's global state: the recent list's entries after many other keys.
void writeStateDb(const QString &path, const QStringList &recent, QRandomGenerator &rng)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, path);
        db.setDatabaseName(path);
        db.open();
        db.transaction();
        QSqlQuery query(db);
        query.exec(u"CREATE TABLE ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB)"_s);
        query.prepare(u"INSERT INTO ItemTable (key, value) VALUES (?, ?)"_s);
        for (int i = 0; i <= 120; ++i) {
            const QString view = u"{\"id\":\"workbench.view.extension.%1\",\"visible\":true,\"order\":%2}"_s.arg(rng.generate(), 0, 16).arg(i);
            query.bindValue(0, i < 120 ? u"memento/workbench.part.%1"_s.arg(i) : u"history.recentlyOpenedPathsList"_s);
            query.bindValue(1, i < 120 ? u"[%1]"_s.arg(QStringList(20, view).join(u',')) : u"{\"entries\":[%1]}"_s.arg(recent.join(u',')));
            query.exec();
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(path);
}

// recentProjects.xml, oldest entry first; or Rider's recentSolutions.xml.
QByteArray recentXml(const QString &component, const JetbrainsIde &ide, const QStringList &keys, qint64 time, QRandomGenerator &rng)
{
    const QString code = ide.configPrefix.left(2).toUpper();
    const QString kind
        = ide.ideKey != u"rider"_s ? QString() : u"\n              <option name=\"metadata\" value=\"{&quot;kind&quot;:&quot;solution&quot;}\" />"_s;
    auto random = [&rng](qint64 bound) {
        return QString::number(rng.bounded(bound));
    };
    QString xml = u"<application>\n  <component name=\"%1\">\n    <option name=\"additionalInfo\">\n      <map>\n"_s.arg(component);
    for (int i = 0; i < keys.size(); ++i) {
        const qint64 opened = time - (keys.size() - 1 - i) * 6 * hour - rng.bounded(hour);
        const QString activated = QString::number(opened + rng.bounded(3 * hour));
        // Some entries lack the open time; the reader then takes the file's.
        const QString openTime = i % 10 == 3 ? QString() : u"\n              <option name=\"projectOpenTimestamp\" value=\"%1\" />"_s.arg(opened);
        xml += QString::fromUtf16(entryXml).arg(keys[i], keys[i].section(u'/', -1), random(1 << 30), activated, code, random(500), random(9), kind, openTime);
    }
    xml += u"      </map>\n    </option>\n    <option name=\"lastOpenedProject\" value=\"%1\" />\n"_s.arg(keys.last());
    return (xml + u"    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/IdeaProjects\" />\n  </component>\n</application>\n"_s).toUtf8();
}

struct Pass {
    FloorCounts counts;
    struct stat st;
    QByteArray content;

    bool stat(const QByteArray &path)
    {
        ++counts.stats;
        return ::stat(path.constData(), &st) == 0;
    }

    // Subfolders but hidden ones, typed by the listing itself where it can.
    QList<QByteArray> listDirs(const QByteArray &dir)
    {
        QList<QByteArray> names;
        DIR *d = ::opendir(dir.constData());
        counts.listings += d != nullptr;
        while (const dirent *e = d ? ::readdir(d) : nullptr) {
            const bool untyped = e->d_type == DT_LNK || e->d_type == DT_UNKNOWN;
            if (e->d_name[0] != '.' && (e->d_type == DT_DIR || (untyped && stat(dir + '/' + e->d_name) && S_ISDIR(st.st_mode)))) {
                names.append(QByteArray(e->d_name));
            }
        }
        if (d) {
            ::closedir(d);
        }
        return names;
    }

    // As a search must read what other programs write: opened without
    // blocking, taken only when fstat finds a regular file (which gives its
    // time too), read whole (up to maxBytes), a short read being the end.
    // One buffer serves every file.
    const QByteArray &read(const QByteArray &path, qsizetype maxBytes = 65536)
    {
        content.resize(0);
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            constexpr qsizetype chunk = 65536;
            char buffer[chunk];
            for (qsizetype n = chunk; n == chunk && content.size() < maxBytes;) {
                n = ::read(fd, buffer, std::min(chunk, maxBytes));
                content.append(buffer, std::max<qsizetype>(n, 0));
            }
            ++counts.filesRead;
            counts.bytesRead += content.size();
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return content;
    }

    // A state database's one query, through the driver the service uses.
    QByteArray queryRecentList(const QByteArray &path)
    {
        QByteArray list;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"floor"_s);
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
            db.setDatabaseName(QFile::decodeName(path));
            counts.queries += db.open();
            QSqlQuery query(db);
            query.prepare(u"SELECT value FROM ItemTable WHERE key = ?"_s);
            query.addBindValue(u"history.recentlyOpenedPathsList"_s);
            if (query.exec() && query.next()) {
                list = query.value(0).toByteArray();
            }
        }
        QSqlDatabase::removeDatabase(u"floor"_s);
        return list;
    }
};

// What follows each marker up to the next quote: the paths are found by
// scanning, without a JSON or XML parser.
QList<QByteArray> scan(const QByteArray &text, const QByteArray &marker)
{
    QList<QByteArray> found;
    for (qsizetype at = 0; (at = text.indexOf(marker, at)) >= 0;) {
        at += marker.size();
        found.append(text.mid(at, text.indexOf('"', at) - at));
    }
    return found;
}

void vscodeFloor(Pass &pass, const QByteArray &home)
{
    if (!pass.stat(home + "/.config")) {
        return;
    }
    for (const VscodeVariant &variant : vscodeVariants()) {
        const QByteArray user = home + "/.config/" + QFile::encodeName(variant.configDir) + "/User";
        if (!pass.stat(user) || !S_ISDIR(pass.st.st_mode)) {
            continue;
        }
        if (!variant.sharedStateDb.isEmpty()) {
            pass.stat(home + '/' + QFile::encodeName(variant.sharedStateDb));
        }
        // A read-only connection must not write beside the database: its
        // header, and whether "-wal" and "-shm" are there.
        const QByteArray db = user + "/globalStorage/state.vscdb";
        if (pass.stat(db)) {
            pass.read(db, 20);
            pass.stat(db + "-wal");
            pass.stat(db + "-shm");
            for (const QByteArray &path : scan(pass.queryRecentList(db), "\"file://")) {
                pass.counts.paths += pass.stat(QByteArray::fromPercentEncoding(path));
            }
        }
        const QByteArray storage = user + "/workspaceStorage";
        for (const QByteArray &name : pass.stat(storage) && S_ISDIR(pass.st.st_mode) ? pass.listDirs(storage) : QList<QByteArray>()) {
            const QByteArray dir = storage + '/' + name;
            const QByteArray &json = pass.read(dir + "/workspace.json");
            const bool workspace = json.contains("\"workspace\"");
            const qsizetype at = json.indexOf("\"file://") + 8;
            const QByteArray path = at < 8 ? QByteArray() : QByteArray::fromPercentEncoding(json.mid(at, json.indexOf('"', at) - at));
            if (!path.isEmpty() && pass.stat(path) && (workspace ? S_ISREG(pass.st.st_mode) && path.endsWith(".code-workspace") : S_ISDIR(pass.st.st_mode))) {
                ++pass.counts.paths;
                // The time: state.vscdb's, or workspace.json's from its fstat.
                pass.stat(dir + "/state.vscdb");
            }
        }
    }
}

// Only the newest version folder of each row is read: it has entries.
void jetbrainsFloor(Pass &pass, const QByteArray &home)
{
    const QByteArray roots[] = {home + "/.config/JetBrains/", home + "/.config/Google/"};
    const QList<QByteArray> names[] = {pass.listDirs(roots[0]), pass.listDirs(roots[1])};
    for (const JetbrainsIde &ide : jetbrainsIdes()) {
        if (readThroughOtherEdition(ide)) {
            continue;
        }
        const int root = ide.ideKey == u"androidstudio"_s;
        QByteArray newest;
        for (const QByteArray &name : names[root]) {
            newest = name.startsWith(ide.configPrefix.toUtf8()) && name > newest ? name : newest;
        }
        QList<QByteArray> files = {"recentProjects.xml"};
        if (ide.ideKey == u"rider"_s) {
            files.append("recentSolutions.xml");
        }
        // One stat per distinct recorded path: in these files, the entry keys.
        for (const QByteArray &file : std::as_const(files)) {
            for (const QByteArray &key : scan(pass.read(roots[root] + newest + "/options/" + file), "<entry key=\"")) {
                pass.counts.paths += pass.stat(key.startsWith("$USER_HOME$") ? home + key.mid(11) : key);
            }
        }
    }
}
} // namespace

HomeCounts writeSyntheticHome(const QString &home, int dirsPerVariant)
{
    HomeCounts counts;
    QRandomGenerator rng(7);
    for (int i = 0; i < 400; ++i) {
        writeFile(home + u"/src/"_s + projectName(i) + u"/README.md"_s, "# " + projectName(i).toUtf8() + '\n', now - i * day);
    }

    // Three versions per row; the newer ones share most projects with the
    // older ones, as an upgraded IDE imports its list.
    QDir().mkpath(home + u"/.config/JetBrains/consentOptions"_s);
    for (const JetbrainsIde &ide : jetbrainsIdes()) {
        if (readThroughOtherEdition(ide)) {
            continue;
        }
        const bool android = ide.ideKey == u"androidstudio"_s;
        const bool rider = ide.ideKey == u"rider"_s;
        const QList<int> pool = samplePool(rng, 70);
        for (int v = 0; v < 3; ++v) {
            const QString version = QStringList{u"2024.2"_s, u"2024.3"_s, u"2025.1"_s}[v] + (android ? u".1"_s : QString());
            const QString options = home + (android ? u"/.config/Google/"_s : u"/.config/JetBrains/"_s) + ide.configPrefix + version + u"/options/"_s;
            const qint64 time = now - (2 - v) * 90 * day;
            QStringList projects, solutions;
            for (int k = v * 10; k < v * 10 + 50; ++k) {
                projects.append(u"$USER_HOME$/src/"_s + projectName(pool[k]));
                if (rider) {
                    solutions.append(projects.last() + u'/' + projectName(pool[k]).remove(u' ') + u".sln"_s);
                    writeFile(QString(solutions.last()).replace(u"$USER_HOME$"_s, home), "Microsoft Visual Studio Solution File, Format Version 12.00\n", time);
                }
            }
            writeFile(options + u"recentProjects.xml"_s, recentXml(u"RecentProjectsManager"_s, ide, projects, time, rng), time);
            if (rider) {
                writeFile(options + u"recentSolutions.xml"_s, recentXml(u"RiderRecentProjectsManager"_s, ide, solutions, time, rng), time);
            }
            counts.jetbrainsEntries += projects.size();
            counts.riderSolutions += solutions.size();
        }
        counts.searchedPaths += rider ? 100 : 50;
    }

    for (const VscodeVariant &variant : vscodeVariants()) {
        const QString user = home + u"/.config/"_s + variant.configDir + u"/User/"_s;
        QStringList recent, menu;
        for (int index : samplePool(rng, 50)) {
            recent.append(home + u"/src/"_s + projectName(index));
            menu.append(u"{\"id\":\"openRecentFolder\",\"uri\":{\"$mid\":1,\"path\":\"%1\",\"scheme\":\"file\"},\"label\":\"%1\"}"_s.arg(recent.last()));
        }
        // The File menu's recent submenu, read only where the database has no list.
        const QString storage = u"{\"theme\":\"vs-dark\",\"lastKnownMenubarData\":{\"menus\":{\"File\":{\"items\":[{\"id\":\"submenuitem.MenubarRecentMenu\","
                                u"\"submenu\":{\"items\":[%1]}}]}}}}"_s;
        writeFile(user + u"globalStorage/storage.json"_s, storage.arg(menu.first(10).join(u',')).toUtf8(), now - hour);
        ++counts.stateDatabases;

        // The recent list as the editor writes it: its folders and workspaces
        // newest first, then files; their workspace-storage folders come
        // first, then those of folders and workspaces only they name.
        QStringList list, files;
        for (int i = 0; i < std::max<int>(dirsPerVariant, recent.size()); ++i) {
            const bool workspace = i % 10 == 9;
            const qint64 used = i < 50 ? now - (i + 1) * 2 * hour : now - day - rng.bounded(700 * day);
            QString target = i < 50 ? recent[i] : u"%1/work/%2/%3-%4"_s.arg(home, variant.executable, projectName(i % 400)).arg(i);
            if (workspace) {
                writeFile(target += u".code-workspace"_s, "{\n\t\"folders\": [\n\t\t{\n\t\t\t\"path\": \".\"\n\t\t}\n\t]\n}", used);
            } else {
                QDir().mkpath(target);
            }
            const QByteArray uri = fileUri(target).toUtf8();
            // Named as the editor names it: the MD5 of the path, for a folder
            // followed by its inode number.
            struct stat st = {};
            ::stat(QFile::encodeName(target).constData(), &st);
            const QByteArray identity = QFile::encodeName(target) + (workspace ? QByteArray() : QByteArray::number(qulonglong(st.st_ino)));
            const QString id = QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Md5).toHex());
            if (i < recent.size()) {
                list.append(workspace ? u"{\"workspace\":{\"id\":\"%1\",\"configPath\":\"%2\"}}"_s.arg(id, QString::fromLatin1(uri))
                                      : u"{\"folderUri\":\"%1\"}"_s.arg(QString::fromLatin1(uri)));
                files.append(u"{\"fileUri\":\"%1\"}"_s.arg(fileUri(recent[i] + u"/README.md"_s)));
            }
            if (i >= dirsPerVariant) {
                continue;
            }
            const QString dir = user + u"workspaceStorage/"_s + id;
            // Most folders keep a state database, whose time is the last use.
            const QByteArray json = "{\n  \""_ba + (workspace ? "workspace" : "folder") + "\": \"" + uri + "\"\n}";
            writeFile(dir + u"/workspace.json"_s, json, i % 8 == 7 ? used : used - rng.bounded(300 * day));
            if (i % 8 != 7) {
                writeFile(dir + u"/state.vscdb"_s, "", used);
            }
        }
        QDir().mkpath(user + u"globalStorage"_s);
        writeStateDb(user + u"globalStorage/state.vscdb"_s, list + files, rng);
        writeFile(user + u"globalStorage/state.vscdb"_s, QByteArray(), now - hour);
        QFile::copy(user + u"globalStorage/state.vscdb"_s, user + u"globalStorage/state.vscdb.backup"_s);
        counts.recentEntries += list.size() + files.size();
        counts.searchedPaths += list.size() + files.size() + dirsPerVariant;
    }
    return counts;
}

FloorCounts ioFloor(const QString &home)
{
    Pass pass;
    const QByteArray path = QFile::encodeName(home);
    // The shortcut file, then the sources in the order the service asks them.
    pass.stat(path + "/.config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf");
    vscodeFloor(pass, path);
    jetbrainsFloor(pass, path);
    return pass.counts;
}
