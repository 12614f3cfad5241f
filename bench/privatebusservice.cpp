#include "privatebusservice.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString serviceName = u"org.velari.sorvex.orlek"_s;
const QString objectPath = u"/org/velari/sorvex/orlek"_s;
const QString interfaceName = u"org.velari.sorvex.orlek.SearchPlugin"_s;

// A child that outlives an interrupted benchmark would keep a bus and a
// service running for nobody. In a group of its own, it does not get the
// terminal's Ctrl-C either: the benchmark stops it when it has finished.
void endWithParent(QProcess &process)
{
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
}

void finish(QProcess &process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}
} // namespace

PrivateBusService::PrivateBusService(const QString &program) : m_program(program), m_bus(QString())
{
    endWithParent(m_daemon);
    endWithParent(m_service);
}

PrivateBusService::~PrivateBusService()
{
    stop();
}

bool PrivateBusService::startBus(QString *error)
{
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
    if (!m_daemon.waitForStarted(5000)) {
        *error = u"cannot start dbus-daemon: "_s + m_daemon.errorString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_daemon.canReadLine() && timer.elapsed() < 5000 && m_daemon.state() == QProcess::Running) {
        m_daemon.waitForReadyRead(100);
    }
    const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (address.isEmpty()) {
        *error = u"dbus-daemon printed no address: "_s + QString::fromUtf8(m_daemon.readAllStandardError());
        return false;
    }
    static int connectionCount = 0;
    m_connectionName = u"orlek-bench-%1"_s.arg(++connectionCount);
    m_bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!m_bus.isConnected()) {
        *error = u"cannot connect to the private bus: "_s + m_bus.lastError().message();
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
    m_service.setProcessEnvironment(env);
    return true;
}

bool PrivateBusService::start(const QString &home, const QString &logPath, double *firstAnswerMs, QString *error)
{
    if (!startBus(error)) {
        return false;
    }
    QProcessEnvironment env = m_service.processEnvironment();
    env.insert(u"HOME"_s, home);
    // Its messages go to the log file, not to a journal of the caller's.
    env.remove(u"JOURNAL_STREAM"_s);
    m_service.setProcessEnvironment(env);
    m_service.setStandardOutputFile(logPath, QIODevice::Append);
    m_service.setStandardErrorFile(logPath, QIODevice::Append);

    QElapsedTimer timer;
    timer.start();
    m_service.start(m_program, {});
    if (!m_service.waitForStarted(5000)) {
        *error = u"cannot start "_s + m_program + u": "_s + m_service.errorString();
        return false;
    }
    for (;;) {
        const CallResult answer = call(u"Stop"_s, u"{\"ver\":\"1.0\",\"mID\":\"start\"}"_s, 5000);
        if (answer.ok) {
            *firstAnswerMs = timer.nsecsElapsed() / 1e6;
            return true;
        }
        if (timer.elapsed() > 10000) {
            *error = u"the service did not answer within 10 s: "_s + answer.error;
            return false;
        }
        // Also the pause before the next try.
        if (m_service.waitForFinished(1) || m_service.state() == QProcess::NotRunning) {
            *error = u"the service exited with code %1 before answering"_s.arg(m_service.exitCode());
            return false;
        }
    }
}

void PrivateBusService::stop()
{
    finish(m_service);
    if (!m_connectionName.isEmpty()) {
        m_bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connectionName.clear();
    }
    finish(m_daemon);
}

CallResult PrivateBusService::call(const QString &method, const QString &json, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, method);
    message << json;
    // Never let the bus start an installed copy of the service instead.
    message.setAutoStartService(false);
    CallResult result;
    QElapsedTimer timer;
    timer.start();
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, timeoutMs);
    result.ms = timer.nsecsElapsed() / 1e6;
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1) {
        result.ok = true;
        result.value = reply.arguments().constFirst();
    } else {
        result.error = reply.errorName() + u": "_s + reply.errorMessage();
    }
    return result;
}

qint64 PrivateBusService::residentKb() const
{
    QFile status(u"/proc/%1/status"_s.arg(m_service.processId()));
    if (m_service.processId() <= 0 || !status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
        }
    }
    return -1;
}
