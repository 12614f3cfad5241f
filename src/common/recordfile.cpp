#include "recordfile.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
qint64 modificationMsecs(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

// The path for the system calls. A NUL would cut it short and name another
// file, so such a path gives an empty one, which names nothing.
QByteArray nativePath(const QString &path)
{
    return path.contains(QChar(u'\0')) ? QByteArray() : QFile::encodeName(path);
}

bool statPath(const QString &path, struct stat *st)
{
    const QByteArray native = nativePath(path);
    return !native.isEmpty() && ::stat(native.constData(), st) == 0;
}
} // namespace

bool readRecordFile(const QString &path, RecordFile *file, qint64 maxBytes)
{
    // Non-blocking, so that opening a FIFO returns at once; fstat then rejects it.
    const QByteArray native = nativePath(path);
    const int fd = native.isEmpty() ? -1 : ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }

    // The size may change while we read; the limit holds whatever it becomes.
    // One byte more than the file holds is asked for, so that reading it
    // whole ends in a short read.
    QByteArray contents;
    const qint64 limit = qBound<qint64>(0, maxBytes, maxRecordFileSize);
    contents.resize(qsizetype(qBound<qint64>(0, qint64(st.st_size) + 1, limit)));
    qint64 total = 0;
    for (;;) {
        if (total == contents.size()) {
            if (total >= limit) {
                break;
            }
            contents.resize(qsizetype(qMin<qint64>(limit, qMax<qint64>(4096, total * 2))));
        }
        const qint64 wanted = contents.size() - total;
        const ssize_t n = ::read(fd, contents.data() + total, size_t(wanted));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        total += n;
        // A regular file that gives less than asked for once it has given
        // all it held at the fstat is at its end; no further read is spent
        // on an empty answer. Files whose size stat does not tell (0, as in
        // /proc) are read until that answer.
        if (n < wanted && st.st_size > 0 && total >= st.st_size) {
            break;
        }
    }
    ::close(fd);
    contents.truncate(qsizetype(total));

    file->contents = std::move(contents);
    file->modified = modificationMsecs(st);
    return true;
}

bool isRegularFile(const QString &path, qint64 *modified, qint64 *size)
{
    struct stat st;
    if (!statPath(path, &st) || !S_ISREG(st.st_mode)) {
        return false;
    }
    if (modified) {
        *modified = modificationMsecs(st);
    }
    if (size) {
        *size = st.st_size;
    }
    return true;
}

bool modificationTime(const QString &path, qint64 *modified)
{
    struct stat st;
    if (!statPath(path, &st)) {
        return false;
    }
    *modified = modificationMsecs(st);
    return true;
}

FileKind fileKind(const QString &path)
{
    struct stat st;
    if (!statPath(path, &st)) {
        return FileKind::Missing;
    }
    if (S_ISDIR(st.st_mode)) {
        return FileKind::Directory;
    }
    return S_ISREG(st.st_mode) ? FileKind::RegularFile : FileKind::Other;
}

QStringList subdirectories(const QString &dir)
{
    QStringList paths;
    QByteArray native = nativePath(dir);
    DIR *listing = native.isEmpty() ? nullptr : ::opendir(native.constData());
    if (!listing) {
        return paths;
    }
    const QString prefix = dir.endsWith(u'/') ? dir : dir + u'/';
    if (!native.endsWith('/')) {
        native += '/';
    }
    while (const dirent *entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        // The listing tells the type of most entries; links and file systems
        // that do not tell need a stat.
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            isDirectory = ::stat(QByteArray(native + entry->d_name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDirectory) {
            paths.append(prefix + QFile::decodeName(entry->d_name));
        }
    }
    ::closedir(listing);
    return paths;
}
