#include "recordfile.h"

#include <QFile>

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
// file, so such a path gives an empty one, which names nothing. Qt names
// files in UTF-8 here (QFile::encodeName); toUtf8() says the same without
// the general converter, which cost a search more than its URLs.
QByteArray nativePath(const QString &path)
{
    return path.contains(QChar(u'\0')) ? QByteArray() : path.toUtf8();
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

    // What the file held at the fstat, and never beyond the limit: one that
    // grows meanwhile is being rewritten and read again at the next search.
    QFile device;
    device.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    file->contents = device.read(qMin<qint64>(st.st_size, qMin(maxBytes, maxRecordFileSize)));
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

FileKind fileKind(const QString &path, quint64 *inode)
{
    struct stat st;
    if (!statPath(path, &st)) {
        return FileKind::Missing;
    }
    if (inode) {
        *inode = st.st_ino;
    }
    if (S_ISDIR(st.st_mode)) {
        return FileKind::Directory;
    }
    return S_ISREG(st.st_mode) ? FileKind::RegularFile : FileKind::Other;
}

QStringList subdirectories(const QString &dir)
{
    QStringList paths;
    const QByteArray native = nativePath(dir);
    DIR *listing = native.isEmpty() ? nullptr : ::opendir(native.constData());
    if (!listing) {
        return paths;
    }
    const QString prefix = dir.endsWith(u'/') ? dir : dir + u'/';
    while (const dirent *entry = ::readdir(listing)) {
        // No stat per entry: one that is no folder has nothing to read below it.
        if (entry->d_name[0] != '.') {
            paths.append(prefix + QString::fromUtf8(entry->d_name));
        }
    }
    ::closedir(listing);
    return paths;
}
