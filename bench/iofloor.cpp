#include "iofloor.h"

#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"

#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
class FloorPass
{
public:
    FloorCounts counts;

    bool stat(const QByteArray &path, struct stat *st)
    {
        ++counts.stats;
        return ::stat(path.constData(), st) == 0;
    }

    // Subdirectory names, hidden ones left out; the entry type comes from
    // the listing itself, a stat is needed only for links and unknown types.
    QList<QByteArray> listDirs(const QByteArray &dir)
    {
        QList<QByteArray> names;
        DIR *d = ::opendir(dir.constData());
        if (!d) {
            return names;
        }
        ++counts.listings;
        while (const dirent *e = ::readdir(d)) {
            if (e->d_name[0] == '.') {
                continue;
            }
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
                struct stat st;
                isDir = stat(dir + '/' + e->d_name, &st) && S_ISDIR(st.st_mode);
            }
            if (isDir) {
                names.append(QByteArray(e->d_name));
            }
        }
        ::closedir(d);
        return names;
    }

    // Reads a file as the service reads every record file: opened without
    // blocking, taken only when fstat finds a regular file (which also gives
    // its time), read whole, or its first maxBytes bytes.
    bool readFile(const QByteArray &path, QByteArray *content, struct stat *st, size_t maxBytes = 65536)
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
            ::close(fd);
            return false;
        }
        content->resize(0);
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, qMin(sizeof buffer, maxBytes));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            content->append(buffer, n);
            // A short read of a regular file is its end: no read is spent on finding it.
            if (size_t(n) < sizeof buffer || content->size() >= qsizetype(maxBytes)) {
                break;
            }
        }
        ::close(fd);
        ++counts.filesRead;
        counts.bytesRead += content->size();
        return true;
    }

    // The one query of a state database, through the driver the service must use.
    QByteArray queryRecentList(const QString &path)
    {
        static int connectionCount = 0;
        const QString connection = u"orlek-bench-floor-%1"_s.arg(++connectionCount);
        QByteArray value;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
            db.setDatabaseName(path);
            if (db.open()) {
                QSqlQuery query(db);
                if (query.prepare(u"SELECT value FROM ItemTable WHERE key = ?"_s)) {
                    query.addBindValue(u"history.recentlyOpenedPathsList"_s);
                    if (query.exec() && query.next()) {
                        value = query.value(0).toByteArray();
                    }
                }
                ++counts.queries;
            }
        }
        QSqlDatabase::removeDatabase(connection);
        return value;
    }
};

QByteArrayView attribute(QByteArrayView tag, QByteArrayView name)
{
    const qsizetype at = tag.indexOf(name);
    if (at < 0) {
        return {};
    }
    const qsizetype begin = at + name.size();
    const qsizetype end = tag.indexOf('"', begin);
    return end < 0 ? QByteArrayView() : tag.sliced(begin, end - begin);
}

// The text of the JSON string that follows `key` and a colon.
QByteArrayView jsonString(QByteArrayView text, QByteArrayView key, qsizetype *from)
{
    const qsizetype at = text.indexOf(key, *from);
    if (at < 0) {
        return {};
    }
    const qsizetype colon = text.indexOf(':', at + key.size());
    const qsizetype begin = colon < 0 ? -1 : text.indexOf('"', colon) + 1;
    const qsizetype end = begin <= 0 ? -1 : text.indexOf('"', begin);
    if (end < 0) {
        return {};
    }
    *from = end + 1;
    return text.sliced(begin, end - begin);
}

// The local path of a file:///... URI, or an empty one.
QByteArray localPath(QByteArrayView uri)
{
    if (!uri.startsWith("file://")) {
        return QByteArray();
    }
    return QByteArray::fromPercentEncoding(uri.sliced(7).toByteArray());
}

// Recorded paths of a recent-projects file: entry keys, and the values of
// options outside entries, other than the two default-folder options.
QSet<QByteArray> recordedPaths(const QByteArray &xml, const QByteArray &home)
{
    QSet<QByteArray> paths;
    auto offer = [&](QByteArrayView value) {
        QByteArray path = value.startsWith("$USER_HOME$") ? home + value.sliced(11).toByteArray() : value.toByteArray();
        if (path.startsWith('/')) {
            paths.insert(path);
        }
    };
    const QByteArrayView text(xml);
    bool inEntry = false;
    qsizetype pos = 0;
    while ((pos = text.indexOf('<', pos)) >= 0) {
        const qsizetype end = text.indexOf('>', pos);
        if (end < 0) {
            break;
        }
        const QByteArrayView tag = text.sliced(pos + 1, end - pos - 1);
        if (tag.startsWith("entry ")) {
            inEntry = true;
            offer(attribute(tag, " key=\""));
        } else if (tag.startsWith("/entry")) {
            inEntry = false;
        } else if (!inEntry && tag.startsWith("option ")) {
            const QByteArrayView name = attribute(tag, " name=\"");
            if (name != "lastProjectLocation" && name != "lastProjectCreationLocation") {
                offer(attribute(tag, " value=\""));
            }
        }
        pos = end + 1;
    }
    return paths;
}

void vscodeFloor(FloorPass &pass, const QByteArray &homePath)
{
    struct stat st;
    const QByteArray config = homePath + "/.config";
    if (!pass.stat(config, &st)) {
        return;
    }
    QByteArray content;
    for (const VscodeVariant &variant : vscodeVariants()) {
        const QByteArray user = config + '/' + QFile::encodeName(variant.configDir) + "/User";
        if (!pass.stat(user, &st) || !S_ISDIR(st.st_mode)) {
            continue;
        }
        if (!variant.sharedStateDb.isEmpty()) {
            pass.stat(homePath + '/' + QFile::encodeName(variant.sharedStateDb), &st);
        }
        const QByteArray stateDb = user + "/globalStorage/state.vscdb";
        if (pass.stat(stateDb, &st)) {
            // Whether a plain read-only connection would write beside the
            // database: its header, and whether "-wal" and "-shm" are there.
            pass.readFile(stateDb, &content, &st, 20);
            pass.stat(stateDb + "-wal", &st);
            pass.stat(stateDb + "-shm", &st);
            const QByteArray list = pass.queryRecentList(QFile::decodeName(stateDb));
            qsizetype from = 0;
            for (;;) {
                const QByteArrayView uri = jsonString(list, "Uri\"", &from);
                if (uri.isNull()) {
                    break;
                }
                const QByteArray path = localPath(uri);
                if (!path.isEmpty() && pass.stat(path, &st)) {
                    ++pass.counts.vscodeRecentPaths;
                }
            }
        }

        const QByteArray storage = user + "/workspaceStorage";
        if (!pass.stat(storage, &st) || !S_ISDIR(st.st_mode)) {
            continue;
        }
        for (const QByteArray &name : pass.listDirs(storage)) {
            const QByteArray dir = storage + '/' + name;
            struct stat jsonStat;
            if (!pass.readFile(dir + "/workspace.json", &content, &jsonStat)) {
                continue;
            }
            qsizetype from = 0;
            QByteArrayView uri = jsonString(content, "\"folder\"", &from);
            const bool workspace = uri.isEmpty();
            if (workspace) {
                from = 0;
                uri = jsonString(content, "\"workspace\"", &from);
            }
            const QByteArray path = localPath(uri);
            if (path.isEmpty() || !pass.stat(path, &st)) {
                continue;
            }
            if (workspace ? !(S_ISREG(st.st_mode) && path.endsWith(".code-workspace")) : !S_ISDIR(st.st_mode)) {
                continue;
            }
            ++pass.counts.workspacePaths;
            // The time: state.vscdb's, or workspace.json's from its read.
            pass.stat(dir + "/state.vscdb", &st);
        }
    }
}

void jetbrainsFloor(FloorPass &pass, const QByteArray &homePath)
{
    struct stat st;
    const QByteArray jetbrainsRoot = homePath + "/.config/JetBrains";
    const QByteArray googleRoot = homePath + "/.config/Google";
    const QList<QByteArray> jetbrainsNames = pass.listDirs(jetbrainsRoot);
    const QList<QByteArray> googleNames = pass.listDirs(googleRoot);
    QByteArray content;
    for (const JetbrainsIde &ide : jetbrainsIdes()) {
        const bool android = ide.ideKey == u"androidstudio"_s;
        const QByteArray prefix = ide.configPrefix.toUtf8();
        QByteArray newest;
        for (const QByteArray &name : android ? googleNames : jetbrainsNames) {
            if (name.startsWith(prefix) && name > newest) {
                newest = name;
            }
        }
        if (newest.isEmpty()) {
            continue;
        }
        const QByteArray options = (android ? googleRoot : jetbrainsRoot) + '/' + newest + "/options/";
        QList<QByteArray> files = {options + "recentProjects.xml"};
        if (ide.ideKey == u"rider"_s) {
            files.append(options + "recentSolutions.xml");
        }
        for (const QByteArray &file : std::as_const(files)) {
            struct stat fileTime;
            if (!pass.readFile(file, &content, &fileTime)) {
                continue;
            }
            for (const QByteArray &path : recordedPaths(content, homePath)) {
                if (pass.stat(path, &st)) {
                    ++pass.counts.jetbrainsPaths;
                }
            }
        }
    }
}
} // namespace

// The floor is the file work of one search on a generated home, whatever
// the keyword (every search asks every source), and nothing else:
// - the shortcut file: one stat (there is none);
// - every file is read as the service must read a file that other programs
//   write: opened without blocking, and taken only when fstat on the open
//   file finds a regular file, so that a FIFO or a device in its place
//   cannot hang the search (the same fstat gives the file's time);
// - VS Code: a stat of ~/.config; per variant a stat of the User folder, of
//   the shared database (VS Code only; there is none) and of
//   globalStorage/state.vscdb (existence and time); that database's header
//   read and a stat of its "-wal" and "-shm" (a read-only connection must
//   not create them), the database opened read-only through QSQLITE for its
//   one query, and one stat per folder of its recent list (existence and
//   kind). storage.json is not read: the database list has existing
//   folders. The workspace storage stat'ed and listed; per directory its
//   workspace.json read whole, one stat of the folder or workspace file it
//   names, and one stat of its state.vscdb for the time (workspace.json's
//   time, where there is none, comes from its fstat);
// - JetBrains: ~/.config/JetBrains and ~/.config/Google listed once each; per
//   catalogue row only the newest version directory, which yields entries,
//   so no older one is read: options/recentProjects.xml, and for Rider also
//   options/recentSolutions.xml, read whole and timed from the open file;
//   one stat per distinct recorded path of each file (entry keys, and
//   options outside entries but the two default-folder ones), which tells
//   existence and whether a solution is a file.
// Paths are found by substring scanning, without a JSON or XML parser and
// without resolving XML entities (the generated paths have none). The newest
// version directory is the greatest name by plain comparison, which orders
// the generated version names as numeric collation does. Nothing is sorted,
// named or cut to the result limits: that is the search's own work.
FloorCounts ioFloor(const QString &home)
{
    FloorPass pass;
    struct stat st;
    const QByteArray homePath = QFile::encodeName(home);
    pass.stat(homePath + "/.config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf", &st);
    // In the order the service asks its sources.
    vscodeFloor(pass, homePath);
    jetbrainsFloor(pass, homePath);
    return pass.counts;
}
