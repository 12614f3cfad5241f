// The service over the bus, as a launcher meets it: hostile requests and
// files, the home left as it was, a second instance, an installed copy
// started by bus activation.

#include "testutil.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>

#include <csignal>

namespace
{
#ifdef __SANITIZE_ADDRESS__
// Sanitized code is several times slower, and its memory figures say nothing.
constexpr int slow = 5;
#else
constexpr int slow = 1;
#endif

const QString service = u"org.velari.sorvex.orlek"_s;

QString answer(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return u"error: "_s + reply.errorName();
    }
    QString text = reply.arguments().value(0).toString();
    if (text.contains(u"<interface"_s)) {
        text = text.section(u"<interface"_s, 1, 1).simplified();
    }
    return text.isEmpty() ? u"\"\""_s : text;
}

// Every entry under root, with its type and permissions, size, mtime (to
// the ns) and link target, and the sha256 of every regular file. The files
// are read by other processes: closing one here would drop the locks this
// process holds on it while it plays an editor.
QStringList tree(const QString &root)
{
    QProcess find;
    find.start(u"/usr/bin/find"_s,
        QStringList{root} + u"-mindepth 1 ! -name launched.log -printf %P|%M|%s|%T@|%l\\n ( -type f -exec /usr/bin/sha256sum {} + )"_s.split(u' '));
    find.waitForFinished();
    return QString::fromUtf8(find.readAll()).remove(root).split(u'\n');
}
} // namespace

// One service, started as a row says: plainly, with its standard error a
// pipe nobody reads, or from an install by a bus of its own.
class Service
{
public:
    ~Service()
    {
        if (pid > 0) {
            ::kill(pid_t(pid), SIGTERM);
        }
    }

    bool start(const QString &how)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &word : how.split(u' ')) {
            if (word.contains(u'=')) {
                env.insert(word.section(u'=', 0, 0), word.section(u'=', 1));
            }
        }
        // A bus of its own, which a row may kill; an install started by it.
        if (how.contains(u"activated"_s) || how.contains(u"own-bus"_s)) {
            // Installed into a prefix with a blank, which the bus knows as
            // a desktop session's bus does: from XDG_DATA_DIRS.
            const QString prefix = dir.filePath(u"a b"_s);
            env.insert(u"XDG_DATA_DIRS"_s, prefix + u"/share"_s);
            daemon.setProcessEnvironment(env);
            daemon.setStandardErrorFile(dir.filePath(u"log"_s));
            daemon.start(u"/usr/bin/dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
            if ((how.contains(u"activated"_s)
                    && QProcess::execute(QStringLiteral(ORLEK_CMAKE), {u"--install"_s, QStringLiteral(ORLEK_BUILD_DIR), u"--prefix"_s, prefix}) != 0)
                || !daemon.waitForReadyRead(5000 * slow)) {
                return false;
            }
            const QString address = QString::fromUtf8(daemon.readLine().trimmed());
            env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
            bus = QDBusConnection::connectToBus(address, address);
        }
        if (how.contains(u"activated"_s)) {
            bus.interface()->startService(service);
        } else {
            process.setProcessEnvironment(env);
            process.setStandardErrorFile(dir.filePath(u"log"_s));
            int pipe[2] = {-1, -1};
            if (how.contains(u"stderr-closed"_s) && ::pipe(pipe) == 0) {
                ::close(pipe[0]);
                process.setChildProcessModifier([pipe] {
                    ::dup2(pipe[1], STDERR_FILENO);
                });
            }
            process.start(QStringLiteral(ORLEK_PLUGIN), {});
            process.waitForStarted();
            ::close(pipe[1]);
            for (QDeadlineTimer deadline(5000 * slow);
                 !bus.interface()->isServiceRegistered(service) && process.state() == QProcess::Running && !deadline.hasExpired();) {
                QTest::qWait(10);
            }
        }
        pid = bus.interface()->servicePid(service);
        peak = peakKb();
        return pid > 0;
    }

    QString call(const QString &method, const QString &json, int clients = 1)
    {
        const bool introspect = method == u"Introspect"_s;
        QDBusMessage message = QDBusMessage::createMethodCall(
            service, u"/org/velari/sorvex/orlek"_s, introspect ? u"org.freedesktop.DBus.Introspectable"_s : service + u".SearchPlugin"_s, method);
        if (!introspect) {
            message << json;
        }
        if (clients == 1) {
            return answer(bus.call(message, QDBus::Block, 2000 * slow));
        }
        // Every client sends before any answer is awaited.
        QList<QDBusPendingCall> calls;
        for (int i = 0; i < clients; ++i) {
            calls << QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::number(i)).asyncCall(message, 2000 * slow * clients);
        }
        QStringList answers;
        for (QDBusPendingCall &pending : calls) {
            pending.waitForFinished();
            answers << answer(pending.reply());
        }
        answers.removeDuplicates();
        return answers.join(u" / "_s);
    }

    // The growth of the service's peak memory since it started or was last asked.
    QString peakGrowth(qint64 boundMb)
    {
        const qint64 now = peakKb();
        const qint64 grown = (now - std::exchange(peak, now)) / 1024;
        return slow > 1 || grown < boundMb ? u"peak grew under %1 MB"_s.arg(boundMb) : u"peak grew by %1 MB"_s.arg(grown);
    }

    // What the service wrote to its standard error.
    QString log() const
    {
        QFile file(dir.filePath(u"log"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // The program that answers, as a path under this service's folder.
    QString program() const
    {
        return QFileInfo(u"/proc/%1/exe"_s.arg(pid)).symLinkTarget().remove(dir.path());
    }

    // Kills the bus of its own: how the service ended, if within 3 s.
    QString killBus()
    {
        daemon.kill();
        pid = 0;
        const bool ended = process.waitForFinished(3000 * slow) && process.exitStatus() == QProcess::NormalExit;
        return ended ? u"exited with status %1"_s.arg(process.exitCode()) : u"still running, or crashed"_s;
    }

    // Ends the service with SIGTERM: true when it leaves the bus, with exit
    // code 0 when it was started here; true when a row ended it already.
    bool stop()
    {
        if (pid == 0) {
            return true;
        }
        ::kill(pid_t(std::exchange(pid, 0)), SIGTERM);
        const bool ended = daemon.state() == QProcess::Running
            || (process.waitForFinished(5000 * slow) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0);
        for (QDeadlineTimer deadline(5000 * slow); bus.interface()->isServiceRegistered(service) && !deadline.hasExpired();) {
            QTest::qWait(10);
        }
        return ended && !bus.interface()->isServiceRegistered(service);
    }

private:
    qint64 peakKb() const
    {
        QFile file(u"/proc/%1/status"_s.arg(pid));
        file.open(QIODevice::ReadOnly);
        const QByteArray status = file.readAll();
        return status.mid(status.indexOf("VmHWM:") + 6).trimmed().split(' ').value(0).toLongLong();
    }

    QTemporaryDir dir;
    QProcess process;
    QProcess daemon;
    QDBusConnection bus = QDBusConnection::sessionBus();
    qint64 pid = 0;
    qint64 peak = 0;
};

class tst_Service : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void calls_data()
    {
        addRows(u"service.txt"_s, {"home", "calls", "answers"});
    }

    // A home, a service started as its "start" line says, and a line for
    // each call: its answer, or what a check saw.
    void calls()
    {
        QFETCH(QString, home);
        QFETCH(QString, calls);
        QFETCH(QString, answers);
        FakeHome fakeHome;
        QStringList description;
        QString how;
        // "gen <path>[ <size>] = <text>": a file too large to write out.
        static const QRegularExpression generated(u"^gen (\\S+)(?: (\\d+))?(?: = (.*))?$"_s);
        for (const QString &line : home.split(u'\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = generated.match(line);
            QFile file(fakeHome.path() + u'/' + m.captured(1));
            if (line.startsWith(u"start "_s)) {
                how = fakeHome.expand(line);
            } else if (!m.hasMatch()) {
                description << line;
            } else {
                QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
                QVERIFY(file.write(repeated(fakeHome.expand(m.captured(3))).toUtf8()) >= 0 && file.resize(qMax(file.size(), m.captured(2).toLongLong())));
            }
        }
        QVERIFY(fakeHome.build(description.join(u'\n')));

        Service orlek;
        QVERIFY2(orlek.start(how), qPrintable(orlek.log()));
        QStringList actual, before;
        QSqlDatabase editor = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"editor"_s);
        for (const QString &call : calls.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList w = call.split(u' ');
            const auto text = [&](int from) {
                return repeated(fakeHome.expand(call.section(u' ', from)));
            };
            if (w[0] == u"repeat"_s) {
                for (int i = w[1].toInt(); i > 1; --i) {
                    orlek.call(w[2], text(3));
                }
                actual << orlek.call(w[2], text(3));
            } else if (w[0] == u"together"_s) {
                actual << orlek.call(w[2], text(3), w[1].toInt());
            } else if (w[0] == u"peak"_s) {
                actual << orlek.peakGrowth(w[1].toLongLong());
            } else if (w[0] == u"kill-bus"_s) {
                actual << orlek.killBus();
            } else if (w[0] == u"program"_s) {
                actual << orlek.program();
            } else if (w[0] == u"ls"_s) {
                actual << QDir(text(1)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(u' ');
            } else if (w[0] == u"snapshot"_s) {
                before = tree(fakeHome.path());
                actual << QString::number(before.size()) + u" lines"_s;
            } else if (w[0] == u"unchanged"_s) {
                const QStringList now = tree(fakeHome.path());
                const QSet<QString> a(before.begin(), before.end()), b(now.begin(), now.end());
                actual << (a == b ? u"unchanged"_s : ((a - b) | (b - a)).values().join(u'\n'));
            } else if (w[0] == u"launched"_s) {
                // The started programs, plain shell scripts, write within moments, in any order.
                QTest::qWait(1000);
                QFile launched(fakeHome.path() + u"/launched.log"_s);
                QStringList lines = QString::fromUtf8(launched.open(QIODevice::ReadOnly) ? launched.readAll() : "nothing launched").trimmed().split(u'\n');
                lines.sort();
                actual << lines.join(u'\n');
            } else if (w[0] == u"second"_s) {
                QProcess other;
                other.start(QStringLiteral(ORLEK_PLUGIN), {});
                other.waitForFinished(5000 * slow);
                actual << u"exit %1: "_s.arg(other.exitCode()) + QString::fromUtf8(other.readAllStandardError()).trimmed().section(u'\n', -1);
            } else if (w[0] == u"edit"_s) {
                // An editor at work: what its statement writes only in its
                // "-wal", its connection open while the service reads.
                editor.setDatabaseName(fakeHome.expand(w[1]));
                QSqlQuery q(editor);
                actual << QVariant(editor.open() && q.exec(u"PRAGMA wal_autocheckpoint = 0"_s) && q.exec(text(2))).toString();
            } else {
                actual << orlek.call(w[0], text(1));
            }
        }
        compareLines(fakeHome.shorten(actual.join(u'\n')), repeated(answers));
        QVERIFY2(orlek.stop(), qPrintable(orlek.log()));
        editor.close();
        editor = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"editor"_s);
    }
};

QTEST_GUILESS_MAIN(tst_Service)
#include "tst_service.moc"
