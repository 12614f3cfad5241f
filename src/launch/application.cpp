#include "application.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

#include <vector>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
// One of a unit's properties as StartTransientUnit takes them: (sv).
struct UnitProperty {
    QString name;
    QDBusVariant value;
};
// An auxiliary unit, (sa(sv)); none are made, but the call names their type.
struct AuxiliaryUnit {
    QString name;
    QList<UnitProperty> properties;
};
} // namespace

Q_DECLARE_METATYPE(UnitProperty)
Q_DECLARE_METATYPE(AuxiliaryUnit)

namespace
{
QDBusArgument &operator<<(QDBusArgument &argument, const UnitProperty &property)
{
    argument.beginStructure();
    argument << property.name << property.value;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, UnitProperty &property)
{
    argument.beginStructure();
    argument >> property.name >> property.value;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const AuxiliaryUnit &unit)
{
    argument.beginStructure();
    argument << unit.name << unit.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, AuxiliaryUnit &unit)
{
    argument.beginStructure();
    argument >> unit.name >> unit.properties;
    argument.endStructure();
    return argument;
}

const QString manager = u"org.freedesktop.systemd1"_s;
const QString managerPath = u"/org/freedesktop/systemd1"_s;
const QString managerInterface = u"org.freedesktop.systemd1.Manager"_s;

// The jobs the manager reported finished, with their results.
class JobWatch : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void removed(const QDBusMessage &signal)
    {
        results.insert(signal.arguments().value(1).value<QDBusObjectPath>().path(), signal.arguments().value(3).toString());
    }

public:
    QHash<QString, QString> results;
};

// systemd's escaping of text for a part of a unit name: every byte outside
// [A-Za-z0-9:_.] becomes "\xNN", "-" too, which separates the parts.
QString escapeUnitName(const QString &text)
{
    QString escaped;
    for (const char c : text.toUtf8()) {
        if ((uchar(c) < 0x80 && std::isalnum(uchar(c))) || c == ':' || c == '_' || c == '.') {
            escaped += QLatin1Char(c);
        } else {
            escaped += u"\\x%1"_s.arg(uint(uchar(c)), 2, 16, QLatin1Char('0'));
        }
    }
    return escaped;
}

// Puts pid, a child that waits to run its program, into a new scope, and
// waits until the manager has made it: then nothing the program starts can
// stay behind in the service's group. Nothing when the session bus has no
// systemd user manager.
void moveIntoScope(pid_t pid, const QString &application, const QLoggingCategory &(*category)())
{
    // A connection of its own: the shared one delivers no signals until the
    // event loop has run once, which a caller need not have let it do.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"orlek-scopes"_s);
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(manager)) {
        return;
    }
    // A manager slow to answer delays the program this long at most.
    const QDeadlineTimer deadline(300);
    qDBusRegisterMetaType<UnitProperty>();
    qDBusRegisterMetaType<QList<UnitProperty>>();
    qDBusRegisterMetaType<AuxiliaryUnit>();
    qDBusRegisterMetaType<QList<AuxiliaryUnit>>();
    // The name desktops give the applications they start.
    const QString unit = u"app-%1-%2-%3.scope"_s.arg(
        escapeUnitName(u"orlek-plugin"_s), escapeUnitName(application), QString::asprintf("%08x", QRandomGenerator::global()->generate()));
    const QList<UnitProperty> properties = {
        {u"Description"_s, QDBusVariant(u"%1, opened by orlek-plugin"_s.arg(application))},
        {u"PIDs"_s, QDBusVariant(QVariant::fromValue(QList<uint>{uint(pid)}))},
        {u"Slice"_s, QDBusVariant(u"app.slice"_s)},
        // A scope whose program failed is not kept.
        {u"CollectMode"_s, QDBusVariant(u"inactive-or-failed"_s)},
    };
    QDBusMessage call = QDBusMessage::createMethodCall(manager, managerPath, managerInterface, u"StartTransientUnit"_s);
    call << unit << u"fail"_s << QVariant::fromValue(properties) << QVariant::fromValue(QList<AuxiliaryUnit>());
    call.setAutoStartService(false);

    // Listening before the call, so that the job's end cannot be missed.
    JobWatch watch;
    const char *slot = SLOT(removed(QDBusMessage));
    bus.connect(manager, managerPath, managerInterface, u"JobRemoved"_s, &watch, slot);
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(qMax<qint64>(1, deadline.remainingTime())));
    QString problem = reply.errorMessage();
    if (reply.type() == QDBusMessage::ReplyMessage) {
        const QString job = reply.arguments().value(0).value<QDBusObjectPath>().path();
        // Without an event loop of its own, which would take further requests meanwhile.
        for (; !watch.results.contains(job) && !deadline.hasExpired(); QThread::msleep(1)) {
            QCoreApplication::sendPostedEvents(&watch);
        }
        const QString result = watch.results.value(job, u"not made in time"_s);
        problem = result == u"done"_s ? QString() : result;
    }
    bus.disconnect(manager, managerPath, managerInterface, u"JobRemoved"_s, &watch, slot);
    if (!problem.isEmpty()) {
        qCWarning(category) << "No scope of its own for" << application << ":" << problem;
    }
}
} // namespace

bool startApplication(const QString &program, const QStringList &arguments, QString application, const QLoggingCategory &(*category)())
{
    const QString path = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        return false;
    }
    if (application.isEmpty()) {
        application = QFileInfo(program).fileName();
    }
    // Everything the child needs is made before the fork: a child of a
    // process with threads may not allocate.
    QList<QByteArray> bytes = {QFile::encodeName(path)};
    for (const QString &argument : arguments) {
        bytes << QFile::encodeName(argument);
    }
    std::vector<char *> argv;
    for (QByteArray &argument : bytes) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // gate: closed by this process when the program may run; report: the
    // program's pid, then errno if it could not be run.
    int gate[2], report[2];
    if (::pipe2(gate, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(gate[0]);
        ::close(gate[1]);
        return false;
    }
    const pid_t middle = ::fork();
    if (middle == 0) {
        // As QProcess starts detached programs: in a session of their own,
        // a grandchild that is nobody's child once the middle one exits.
        ::close(gate[1]);
        ::setsid();
        const pid_t pid = ::fork();
        if (pid != 0) {
            [[maybe_unused]] const ssize_t written = ::write(report[1], &pid, sizeof pid);
            ::_exit(0);
        }
        // A signal while it waits meets what it would meet after exec, not the service's handlers.
        struct sigaction reset = {};
        reset.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal) {
            struct sigaction old = {};
            if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN && old.sa_handler != SIG_DFL) {
                ::sigaction(signal, &reset, nullptr);
            }
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        char go;
        while (::read(gate[0], &go, 1) < 0 && errno == EINTR) { }
        ::execv(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(gate[0]);
    ::close(report[1]);
    pid_t pid = -1;
    if (middle > 0) {
        while (::read(report[0], &pid, sizeof pid) < 0 && errno == EINTR) { }
        while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) { }
    }
    if (pid > 0) {
        moveIntoScope(pid, application, category);
    }
    ::close(gate[1]);
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) { }
    ::close(report[0]);
    return pid > 0 && got == 0;
}

#include "application.moc"
