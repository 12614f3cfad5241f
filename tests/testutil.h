#pragma once

// Shared helpers of the test suite: a throw-away home directory with the
// environment pointed at it, files with chosen modification times, fake
// programs that record how they were started, and the built service on a
// private bus.

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
// PATH point into it; the destructor restores the old values.
class FakeHome
{
public:
    FakeHome()
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
        return dir.path();
    }

    QString filePath(const QString &relative) const
    {
        return dir.filePath(relative);
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
    QList<Saved> saved;
};

// While it lives, records the messages of one logging category as
// "<level>: <text>" lines (levels debug, info, warning, critical). Every
// message still reaches the handler that was installed before.
class MessageCapture
{
public:
    explicit MessageCapture(const char *category) : category(category)
    {
        current() = this;
        previous = qInstallMessageHandler(&MessageCapture::handle);
    }

    ~MessageCapture()
    {
        qInstallMessageHandler(previous);
        current() = nullptr;
    }

    Q_DISABLE_COPY(MessageCapture)

    QStringList lines;

private:
    static MessageCapture *&current()
    {
        static MessageCapture *capture = nullptr;
        return capture;
    }

    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        MessageCapture *capture = current();
        if (capture && context.category && qstrcmp(context.category, capture->category) == 0) {
            static const char *const levels[] = {"debug", "warning", "critical", "fatal", "info"};
            capture->lines.append(QString::fromLatin1(levels[type]) + QStringLiteral(": ") + text);
        }
        if (capture && capture->previous) {
            capture->previous(type, context, text);
        }
    }

    const char *category;
    QtMessageHandler previous = nullptr;
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

    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
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
