#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Record files (an IDE's XML or JSON lists) are written by other programs at
// any time. They are read only when they are regular files, and never beyond
// this size: no real one comes near it, while a FIFO, a device or a huge file
// in their place must not hang or exhaust the service.
constexpr qint64 maxRecordFileSize = 64 * 1024 * 1024;

struct RecordFile {
    QByteArray contents;
    // Modification time, ms since the epoch.
    qint64 modified = 0;
};

// False when path is not a readable regular file (symbolic links followed).
// Longer files give their first maxBytes bytes.
bool readRecordFile(const QString &path, RecordFile *file, qint64 maxBytes = maxRecordFileSize);

// True when path is a regular file (symbolic links followed); its
// modification time and size go where the pointers that are not null say.
bool isRegularFile(const QString &path, qint64 *modified = nullptr, qint64 *size = nullptr);

// True when something exists at path (symbolic links followed); its
// modification time goes to *modified.
bool modificationTime(const QString &path, qint64 *modified);

// What a path names, symbolic links followed.
enum class FileKind {
    Missing,
    Directory,
    RegularFile,
    Other,
};

// One stat for what QFileInfo's exists(), isDir() and isFile() tell between
// them, and the inode number where inode is not null. A path holding a NUL
// names nothing.
FileKind fileKind(const QString &path, quint64 *inode = nullptr);

// The entries of dir that may be folders, each as dir, "/" and its name,
// in the order the file system lists them; hidden ones (and "." and "..")
// are left out. Entries that are no folders, nor links to one, are listed
// too: reading below them fails, as it does for a folder without the file.
QStringList subdirectories(const QString &dir);
