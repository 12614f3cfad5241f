#pragma once

// Shared helpers of the test suite: a throw-away home directory with the
// environment pointed at it, files with chosen modification times, fake
// programs that record how they were started, and the built service on a
// private bus.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMap>
#include <QMutex>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
// The line is written at once, so that programs started together do not mix
// their lines.
inline bool writeRecordingProgram(const QString &path, const QString &log)
{
    const QByteArray script = "#!/bin/sh\n"
                              "line=\"$(basename \"$0\")\"; for a in \"$@\"; do line=\"$line <$a>\"; done; printf '%s\\n' \"$line\" >> '"
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

// A FIFO at path. Nobody writes to it, so a plain open for reading blocks.
inline bool makeFifo(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// A symbolic link at path pointing at target (which need not exist).
inline bool makeLink(const QString &target, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0;
}

// A file of `size` bytes that starts with head and is a hole after it: it
// takes no disk space, however large.
inline bool writeSparseFile(const QString &path, const QByteArray &head, qint64 size)
{
    if (!writeFile(path, head)) {
        return false;
    }
    QFile file(path);
    return file.resize(size);
}

// A VS Code state database as the editors make it, in the given journal
// mode. A null recentList leaves the key of the recent list out.
inline bool writeStateDb(const QString &path, const QByteArray &recentList, const QString &journalMode = QStringLiteral("DELETE"))
{
    static int fixtureConnections = 0;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString name = QStringLiteral("fixture-") + QString::number(++fixtureConnections);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            // Fixtures need no durability; syncing only slows the tests down.
            ok = query.exec(QStringLiteral("PRAGMA synchronous = OFF")) && query.exec(QStringLiteral("PRAGMA journal_mode = ") + journalMode)
                && query.exec(QStringLiteral("PRAGMA user_version = 1"))
                && query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB)"))
                && query.prepare(QStringLiteral("INSERT INTO ItemTable (key, value) VALUES (?, ?)"));
            QList<std::pair<QString, QString>> rows{{QStringLiteral("workbench.panel.lastNonMaximizedHeight"), QStringLiteral("300")},
                {QStringLiteral("__$__targetStorageMarker"), QStringLiteral("{\"workbench.view.extensions.state.hidden\":0}")}};
            if (!recentList.isNull()) {
                rows.append({QStringLiteral("history.recentlyOpenedPathsList"), QString::fromUtf8(recentList)});
            }
            for (const auto &[key, value] : std::as_const(rows)) {
                query.addBindValue(key);
                query.addBindValue(value);
                ok = ok && query.exec();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// The resident memory of a process in KiB, from /proc/<pid>/status; -1 when
// it cannot be read.
inline qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            bool ok = false;
            const qint64 kib = line.mid(6).trimmed().split(' ').constFirst().toLongLong(&ok);
            return ok ? kib : -1;
        }
    }
    return -1;
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
            QCryptographicHash hash(QCryptographicHash::Sha256);
            hash.addData(&file);
            content = QString::fromLatin1(hash.result().toHex());
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

// Calls a method of the service's interface with one JSON text. The answer
// as text, booleans as "true" or "false"; "error after <ms>: <message>" when
// no answer came, for instance within timeoutMs.
inline QString callService(const QString &method, const QString &json, int timeoutMs = -1, QDBusConnection connection = QDBusConnection::sessionBus())
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.velari.sorvex.orlek"), QStringLiteral("/org/velari/sorvex/orlek"), QStringLiteral("org.velari.sorvex.orlek.SearchPlugin"), method);
    message << json;
    QElapsedTimer timer;
    timer.start();
    const QDBusMessage reply = connection.call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        return QStringLiteral("error after %1 ms: ").arg(timer.elapsed()) + reply.errorMessage();
    }
    const QVariant value = reply.arguments().constFirst();
    return value.typeId() == QMetaType::Bool ? (value.toBool() ? QStringLiteral("true") : QStringLiteral("false")) : value.toString();
}

// Where two answers of the service differ: the first differing line of their
// indented forms, after the lines before it; empty when they are the same.
inline QString answerDifference(const QString &actual, const QString &expected)
{
    if (actual == expected) {
        return QString();
    }
    const auto lines = [](const QString &answer) {
        const QJsonDocument document = QJsonDocument::fromJson(answer.toUtf8());
        return document.isNull() ? QStringList{answer} : QString::fromUtf8(document.toJson(QJsonDocument::Indented)).split(QLatin1Char('\n'));
    };
    const QStringList a = lines(actual);
    const QStringList e = lines(expected);
    qsizetype i = 0;
    while (i < a.size() && i < e.size() && a.at(i) == e.at(i)) {
        ++i;
    }
    if (i == a.size() && i == e.size()) {
        return QStringLiteral("the same JSON, written differently:\nactual:   ") + actual + QStringLiteral("\nexpected: ") + expected;
    }
    return QStringLiteral("after\n") + a.mid(qMax<qsizetype>(0, i - 4), qMin<qsizetype>(i, 4)).join(QLatin1Char('\n')) + QStringLiteral("\nactual:   ")
        + a.value(i, QStringLiteral("(end)")) + QStringLiteral("\nexpected: ") + e.value(i, QStringLiteral("(end)"));
}

// A VS Code editor at work on a state database in WAL mode, in a process of
// its own (tests/fakeeditor.cpp): what it writes stays in the "-wal", and it
// holds the database open until it quits or crashes.
class FakeEditor
{
public:
    ~FakeEditor()
    {
        crash();
    }

    enum Journal { Wal, Rollback };

    bool start(const QString &database, Journal journal = Wal)
    {
        process.start(QStringLiteral(ORLEK_FAKE_EDITOR), journal == Rollback ? QStringList{QStringLiteral("--rollback"), database} : QStringList{database});
        return process.waitForStarted(5000) && reply() == "ready";
    }

    // Stores the recent list, as the editor does when a folder is opened.
    bool setRecentList(const QByteArray &json)
    {
        process.write("list " + json + '\n');
        return reply() == "ok";
    }

    // Holds the database's exclusive lock, as while committing, until unlock().
    bool lock()
    {
        process.write("lock\n");
        return reply() == "ok";
    }

    bool unlock()
    {
        process.write("unlock\n");
        return reply() == "ok";
    }

    // Closes the database as on exit: the log is taken into the main file.
    bool quit()
    {
        process.write("quit\n");
        return reply() == "ok" && process.waitForFinished(5000);
    }

    // Ends at once, leaving "-wal" and "-shm" as they are.
    void crash()
    {
        if (process.state() != QProcess::NotRunning) {
            process.closeWriteChannel();
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }

private:
    QByteArray reply()
    {
        while (!process.canReadLine() && process.waitForReadyRead(5000)) { }
        return process.readLine().trimmed();
    }

    QProcess process;
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
        // To a file, not a pipe: a pipe that the test does not drain while it
        // waits for a reply would block the service once it is full.
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(outputDir.filePath(QStringLiteral("output.log")));
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

    // Everything the service has written so far.
    QString log() const
    {
        return readText(outputDir.filePath(QStringLiteral("output.log")));
    }

    QProcess process;

private:
    QTemporaryDir outputDir;
};

} // namespace TestUtil

// Compares two answers of the service whole, and shows where they differ.
#define COMPARE_ANSWER(actual, expected)                                                                                                                       \
    do {                                                                                                                                                       \
        const QString orlekAnswerDifference = TestUtil::answerDifference((actual), (expected));                                                                \
        QVERIFY2(orlekAnswerDifference.isEmpty(), qPrintable(orlekAnswerDifference));                                                                          \
    } while (false)
