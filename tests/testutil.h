#pragma once

// Shared helpers of the test suite: a throw-away home directory with the
// environment pointed at it, files with chosen modification times, fake
// programs that record how they were started, and the built service on a
// private bus.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace TestUtil
{

// Sets the modification time (ms since the epoch) of a file or directory.
inline bool setModificationTime(const QString &path, qint64 msecs)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = msecs / 1000;
    times[1].tv_nsec = (msecs % 1000) * 1000000;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

inline bool writeFile(const QString &path, const QByteArray &content, qint64 msecs = -1)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    if (file.write(content) != content.size()) {
        return false;
    }
    file.close();
    return msecs < 0 || setModificationTime(path, msecs);
}

// A shell script that appends one line per start to `log`: its own name, then
// each argument in angle brackets, so blanks inside arguments stay visible.
inline bool writeRecordingProgram(const QString &path, const QString &log)
{
    const QByteArray script = "#!/bin/sh\n"
                              "{ printf '%s' \"$(basename \"$0\")\"; for a in \"$@\"; do printf ' <%s>' \"$a\"; done; printf '\\n'; } >> '"
        + QFile::encodeName(log) + "'\n";
    if (!writeFile(path, script)) {
        return false;
    }
    return QFile::setPermissions(path,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
            | QFileDevice::ExeOther);
}

// An executable file that the system cannot start: its interpreter is missing.
inline bool writeUnstartableProgram(const QString &path)
{
    if (!writeFile(path, "#!/nonexistent/interpreter\n")) {
        return false;
    }
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

inline QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

// The text of a file that programs started in the background write to, once
// it equals `expected` or after a while. When nothing is expected, it still
// waits a little, so that a program that should not have run can show up.
inline QString settledText(const QString &path, const QString &expected)
{
    QElapsedTimer timer;
    timer.start();
    const int limit = expected.isEmpty() ? 300 : 5000;
    while (timer.elapsed() < limit && (expected.isEmpty() || readText(path) != expected)) {
        QTest::qWait(20);
    }
    return readText(path);
}

// A temporary home directory. While it lives, HOME, the XDG data folders and
// PATH point into it; the destructor restores the old values. homeFolder, when
// given, is a path below the temporary directory to use as the home instead,
// for homes whose names need quoting or encoding.
class FakeHome
{
public:
    explicit FakeHome(const QString &homeFolder = QString()) : home(homeFolder.isEmpty() ? dir.path() : dir.filePath(homeFolder))
    {
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "PATH"}) {
            saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        }
        QDir().mkpath(filePath(QStringLiteral(".local/share/applications")));
        QDir().mkpath(filePath(QStringLiteral("usr/share/applications")));
        QDir().mkpath(binDir());
        qputenv("HOME", QFile::encodeName(path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(filePath(QStringLiteral(".local/share"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(filePath(QStringLiteral("usr/share"))));
        // Never followed by the service; pointing it elsewhere proves that.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(filePath(QStringLiteral("xdg-config"))));
        // The fake programs first, then what the shell scripts themselves need.
        qputenv("PATH", QFile::encodeName(binDir()) + ":/usr/bin:/bin");
    }

    ~FakeHome()
    {
        for (const Saved &s : std::as_const(saved)) {
            if (s.wasSet) {
                qputenv(s.name, s.value);
            } else {
                qunsetenv(s.name);
            }
        }
    }

    Q_DISABLE_COPY(FakeHome)

    bool isValid() const
    {
        return dir.isValid();
    }

    QString path() const
    {
        return home;
    }

    QString filePath(const QString &relative) const
    {
        return QDir(home).filePath(relative);
    }

    // Folder on PATH for fake programs.
    QString binDir() const
    {
        return filePath(QStringLiteral("bin"));
    }

    bool mkpath(const QString &relative) const
    {
        return QDir().mkpath(filePath(relative));
    }

    bool write(const QString &relative, const QByteArray &content, qint64 msecs = -1) const
    {
        return writeFile(filePath(relative), content, msecs);
    }

private:
    struct Saved {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QTemporaryDir dir;
    QString home;
    QList<Saved> saved;
};

// Makes path the process's working folder while it lives, so that relative
// paths resolve into a fixture.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString &path) : previous(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }

    ~WorkingFolder()
    {
        QDir::setCurrent(previous);
    }

    Q_DISABLE_COPY(WorkingFolder)

private:
    QString previous;
};

// What a tree holds, by path relative to its root: for every directory, file
// and symbolic link its kind, size, modification time in nanoseconds and, for
// files, a hash of the content (for links, the target). Links are not followed.
using TreeSnapshot = QMap<QString, QString>;

inline TreeSnapshot snapshotTree(const QString &root)
{
    TreeSnapshot snapshot;
    const QDir rootDir(root);
    const auto describe = [](const QString &path) -> QString {
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
            return QStringLiteral("unreadable");
        }
        const QString times = QString::number(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
        if (S_ISLNK(st.st_mode)) {
            return QStringLiteral("link -> ") + QFile::symLinkTarget(path) + QStringLiteral(" mtime ") + times;
        }
        if (S_ISDIR(st.st_mode)) {
            return QStringLiteral("dir mtime ") + times;
        }
        QString content = QStringLiteral("unreadable");
        QFile file(path);
        if (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly)) {
            content = QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        }
        return QStringLiteral("file size %1 sha256 %2 mtime %3").arg(qint64(st.st_size)).arg(content, times);
    };
    snapshot.insert(QStringLiteral("."), describe(root));
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        snapshot.insert(rootDir.relativeFilePath(path), describe(path));
    }
    return snapshot;
}

// One line per path that was added, removed or changed between two snapshots.
inline QStringList treeChanges(const TreeSnapshot &before, const TreeSnapshot &after)
{
    QStringList changes;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (!after.contains(it.key())) {
            changes.append(QStringLiteral("removed ") + it.key());
        } else if (after.value(it.key()) != it.value()) {
            changes.append(QStringLiteral("changed ") + it.key() + QStringLiteral(": ") + it.value() + QStringLiteral(" -> ") + after.value(it.key()));
        }
    }
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        if (!before.contains(it.key())) {
            changes.append(QStringLiteral("added ") + it.key());
        }
    }
    return changes;
}

// Records every message written while it lives, instead of printing it.
class MessageRecorder
{
public:
    struct Message {
        QtMsgType type;
        QString category;
        QString text;
    };

    MessageRecorder()
    {
        current() = this;
        previous = qInstallMessageHandler(&MessageRecorder::handle);
    }

    ~MessageRecorder()
    {
        qInstallMessageHandler(previous);
        current() = nullptr;
    }

    Q_DISABLE_COPY(MessageRecorder)

    QList<Message> messages() const
    {
        QMutexLocker locker(&mutex);
        return recorded;
    }

    // The texts of the messages of one category and type, in order.
    QStringList texts(const QString &category, QtMsgType type) const
    {
        QStringList result;
        for (const Message &message : messages()) {
            if (message.category == category && message.type == type) {
                result.append(message.text);
            }
        }
        return result;
    }

    // "<level>: <text>" for every message of one category, in order.
    QStringList lines(const QString &category) const
    {
        static const char *const levels[] = {"debug", "warning", "critical", "fatal", "info"};
        QStringList result;
        for (const Message &message : messages()) {
            if (message.category == category) {
                result.append(QString::fromLatin1(levels[message.type]) + QStringLiteral(": ") + message.text);
            }
        }
        return result;
    }

    void clear()
    {
        QMutexLocker locker(&mutex);
        recorded.clear();
    }

private:
    static MessageRecorder *&current()
    {
        static MessageRecorder *recorder = nullptr;
        return recorder;
    }

    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        MessageRecorder *recorder = current();
        QMutexLocker locker(&recorder->mutex);
        recorder->recorded.append({type, QString::fromUtf8(context.category), text});
    }

    QtMessageHandler previous = nullptr;
    mutable QMutex mutex;
    QList<Message> recorded;
};

// The built orlek-plugin, started on the test's session bus.
class ServiceProcess
{
public:
    ~ServiceProcess()
    {
        stop();
    }

    // Starts the service and waits until it owns its name (or has exited).
    bool start(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(ORLEK_PLUGIN_EXECUTABLE), {});
        if (!process.waitForStarted(5000)) {
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            if (QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.velari.sorvex.orlek"))) {
                return true;
            }
            if (process.state() == QProcess::NotRunning) {
                return false;
            }
            QTest::qWait(10);
        }
        return false;
    }

    // Ends the service as a session does, with SIGTERM. True when it quit
    // cleanly: exit code 0, which under the sanitizers also means that they
    // reported nothing, leaks at exit included.
    bool stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(10000)) {
                process.kill();
                process.waitForFinished(5000);
                return false;
            }
        }
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // Everything the service has written to stderr so far.
    QString log()
    {
        QCoreApplication::processEvents();
        stderrText += QString::fromUtf8(process.readAllStandardError());
        return stderrText;
    }

    QProcess process;

private:
    QString stderrText;
};

} // namespace TestUtil
