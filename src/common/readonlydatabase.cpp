#include "readonlydatabase.h"

#include "recordfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Numbers the connections; never reset, so no name is used twice.
int connectionCounter = 0;

// Whether anything at all is at path, a dangling link included.
bool somethingAt(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Whether a connection holds the WAL-index of a database: every open
// connection keeps a shared lock on the lock bytes of its "-shm" (120 to 128),
// so an editor that has the database open is seen here, one that crashed is
// not. Closing the descriptor drops this process's own locks on the file; it
// has none, its connections are closed after every read.
bool heldByLiveConnection(const QString &shmPath)
{
    const int fd = ::open(QFile::encodeName(shmPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    bool held = false;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 120;
        lock.l_len = 9;
        // Open file description locks also see those of this very process.
        held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    }
    ::close(fd);
    return held;
}

enum class StateDbAccess {
    // A plain read-only connection.
    ReadOnly,
    // Read-only, and the WAL-index only read: SQLite then keeps its own copy
    // of the index in memory instead of marking its reads in the "-shm".
    ReadOnlyIndex,
    // The main file alone, as if nobody could change it.
    Immutable,
};

// How a state database can be read without changing any file of it, and
// without SQLite opening anything that would block (it opens "-journal",
// "-wal" and "-shm" plainly). A plain read-only connection changes files:
// for a WAL database SQLite creates a missing "-wal" or "-shm" and marks its
// reads in, or rebuilds, the "-shm"; beside a stray "-wal" it creates a "-shm"
// even for a rollback-journal database; it deletes a "-wal" beside an empty
// main file. So a rollback-journal database alone is read plainly, and a WAL
// database with an editor at work through its "-wal" with the index only read.
// Everything else is read as immutable: data left in a "-wal" after a crash
// is then not read, but a "-wal" and "-shm" that no running editor vouches
// for may not even match, and SQLite retries such a pair for ten seconds.
StateDbAccess stateDbAccess(const QString &path)
{
    RecordFile file;
    if (!readRecordFile(path, &file, 20)) {
        return StateDbAccess::Immutable;
    }
    // Byte 18 of the header is the write format version: 2 in WAL mode.
    const QByteArray &header = file.contents;
    if (header.size() < 20) {
        return StateDbAccess::Immutable;
    }
    const QString journal = path + u"-journal"_s;
    if (somethingAt(journal) && !isRegularFile(journal)) {
        return StateDbAccess::Immutable;
    }
    const QString wal = path + u"-wal"_s;
    const QString shm = path + u"-shm"_s;
    if (header.at(18) == 2) {
        return isRegularFile(wal) && isRegularFile(shm) && heldByLiveConnection(shm) ? StateDbAccess::ReadOnlyIndex : StateDbAccess::Immutable;
    }
    return somethingAt(wal) || somethingAt(shm) ? StateDbAccess::Immutable : StateDbAccess::ReadOnly;
}

// An editor holds its database's lock only while it commits, for
// milliseconds. The driver's own wait of 5 s would stall every search, and
// with it the launcher, behind an editor that hangs in a commit; the list is
// then missed for that search instead.
constexpr auto busyTimeout = "QSQLITE_BUSY_TIMEOUT=500"_L1;

void setUpConnection(QSqlDatabase &db, const QString &link)
{
    // SQLite opens the journal files beside a link's target, so that is
    // where they are looked for.
    const QString path = QFileInfo(link).canonicalFilePath();
    const StateDbAccess access = stateDbAccess(path);
    if (access == StateDbAccess::ReadOnly) {
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY;"_s + busyTimeout);
        db.setDatabaseName(path);
        return;
    }
    // SQLite decodes %HH in URIs and ends the path at '?' or '#'.
    const QByteArray encodedPath = QFile::encodeName(path).toPercentEncoding("/");
    db.setConnectOptions(u"QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;"_s + busyTimeout);
    db.setDatabaseName(
        u"file://"_s + QLatin1String(encodedPath) + (access == StateDbAccess::ReadOnlyIndex ? u"?mode=ro&readonly_shm=1"_s : u"?mode=ro&immutable=1"_s));
}
} // namespace

std::optional<QList<QSqlRecord>> readDatabase(const QString &path, const QString &query, const QLoggingCategory &(*category)())
{
    // Opening a FIFO would block the service.
    if (!isRegularFile(path)) {
        return std::nullopt;
    }
    const QString connectionName = u"orlek-sqlite-"_s + QString::number(++connectionCounter);
    std::optional<QList<QSqlRecord>> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
        setUpConnection(db, path);
        QSqlQuery q(db);
        if (!db.open()) {
            qCWarning(category) << "Failed to open database" << path << ":" << db.lastError().text();
        } else if (q.exec(query)) {
            rows.emplace();
            while (q.next()) {
                rows->append(q.record());
            }
        }
    }
    // Only now is the last handle gone, so the removal closes the connection quietly.
    QSqlDatabase::removeDatabase(connectionName);
    return rows;
}
