#include "terminationsignals.h"

#include "common/logging.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Written to by the signal handler, read in the event loop.
int signalSockets[2] = {-1, -1};

void onTerminationSignal(int)
{
    // Only async-signal-safe calls here; errno belongs to the interrupted code.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}
} // namespace

void quitOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) {
        return;
    }

    QCoreApplication *app = QCoreApplication::instance();
    auto *notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char buffer[16];
        while (::read(signalSockets[1], buffer, sizeof buffer) > 0) { }
        QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

namespace
{
// Receives what the bus library reports when the connection closes.
class BusLoss : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

public Q_SLOTS:
    void disconnected()
    {
        qCCritical(ORLEK, "Lost the connection to the session bus, exiting");
        QCoreApplication::exit(1);
    }
};
} // namespace

void exitOnBusLoss(QDBusConnection bus)
{
    // Sent by the library itself, never over the wire; no timer polls for it.
    bus.connect(QString(),
        u"/org/freedesktop/DBus/Local"_s,
        u"org.freedesktop.DBus.Local"_s,
        u"Disconnected"_s,
        new BusLoss(QCoreApplication::instance()),
        SLOT(disconnected()));
}

namespace
{
void onBrokenPipe(int)
{
}
} // namespace

void surviveClosedPipes()
{
    struct sigaction action = {};
    action.sa_handler = onBrokenPipe;
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &action, nullptr);
}

#include "terminationsignals.moc"
