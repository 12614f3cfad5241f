// orlek-bench: times the built service over a private bus on a large
// synthetic home, against the file-system work of reading everything.

#include "synthetichome.h"

#include "sources/vscodeprojectsource.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString serviceName = u"org.velari.sorvex.orlek"_s;

// What a user types, one key after another: single letters, three letters,
// a source prefix alone and with a word, and a word that matches nothing.
const QStringList keywords = {u"a"_s, u"k"_s, u"web"_s, u"ore"_s, u"vsc"_s, u"jb"_s, u"jb x"_s, u"vsc api"_s, u"nomatchzq"_s};

volatile std::sig_atomic_t interrupted = 0;

double quantile(QList<double> values, double q)
{
    std::sort(values.begin(), values.end());
    const double rank = q * (values.size() - 1);
    const qsizetype below = qsizetype(rank);
    return values[below] + (values[std::min(below + 1, values.size() - 1)] - values[below]) * (rank - below);
}

// "VmRSS / VmHWM" of a process, in MB.
QString memory(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    status.open(QIODevice::ReadOnly);
    QMap<QByteArray, QString> values;
    for (const QByteArray &line : status.readAll().split('\n')) {
        values.insert(line.left(6), QString::number(line.mid(6).trimmed().split(' ').constFirst().toLongLong() / 1024.0, 'f', 1));
    }
    return values.value("VmRSS:", u"?"_s) + u" / "_s + values.value("VmHWM:", u"?"_s);
}

// A dbus-daemon of its own and the service on it, both ended with this
// object or with the bench if it dies first; in a group of their own, they
// miss the terminal's Ctrl-C.
struct PrivateBus {
    QProcess daemon;
    QProcess service;
    QDBusConnection bus = QDBusConnection(QString());
    int requestId = 0;

    ~PrivateBus()
    {
        for (QProcess *process : {&service, &daemon}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }

    // How long the service took to claim its name; -1 if it did not.
    double start(const QString &program, const QString &home, const QString &log)
    {
        for (QProcess *process : {&daemon, &service}) {
            process->setChildProcessModifier([] {
                ::setpgid(0, 0);
                ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            });
        }
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) { }
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        bus = QDBusConnection::connectToBus(address, u"orlek-bench"_s);
        if (!bus.isConnected()) {
            qWarning("orlek-bench: no private bus: %s", qPrintable(daemon.errorString()));
            return -1;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
        env.insert(u"HOME"_s, home);
        // The synthetic home's folders, not the user's.
        env.remove(u"XDG_CONFIG_HOME"_s);
        env.remove(u"XDG_DATA_HOME"_s);
        env.remove(u"JOURNAL_STREAM"_s);
        service.setProcessEnvironment(env);
        service.setProcessChannelMode(QProcess::MergedChannels);
        service.setStandardOutputFile(log);
        QElapsedTimer timer;
        timer.start();
        service.start(program, {});
        while (!bus.interface()->isServiceRegistered(serviceName)) {
            if (service.waitForFinished(10) || service.state() == QProcess::NotRunning || timer.elapsed() > 10000) {
                return -1;
            }
        }
        return timer.nsecsElapsed() / 1e6;
    }

    // The round-trip time of a Search, whose answer's items are counted, or
    // of a Stop; -1 when the answer is not the one asked for.
    double call(const QString &method, const QString &keyword = QString(), int *items = nullptr)
    {
        const QString id = QString::number(++requestId);
        QDBusMessage message = QDBusMessage::createMethodCall(serviceName, u"/org/velari/sorvex/orlek"_s, u"org.velari.sorvex.orlek.SearchPlugin"_s, method);
        message << (items ? u"{\"ver\":\"1.0\",\"mID\":\"%1\",\"cont\":\"%2\"}"_s.arg(id, keyword) : u"{\"ver\":\"1.0\",\"mID\":\"%1\"}"_s.arg(id));
        // Never let the bus start an installed copy instead.
        message.setAutoStartService(false);
        QElapsedTimer timer;
        timer.start();
        const QDBusMessage reply = bus.call(message, QDBus::Block, 60000);
        const double ms = timer.nsecsElapsed() / 1e6;
        const QVariant value = reply.arguments().value(0);
        const QJsonObject answer = QJsonDocument::fromJson(value.toString().toUtf8()).object();
        for (const QJsonValue &group : items ? answer.value(u"cont"_s).toArray() : QJsonArray()) {
            *items += group[u"items"_s].toArray().size();
        }
        if (reply.type() != QDBusMessage::ReplyMessage
            || (items ? answer.value(u"mID"_s) != id || !answer.value(u"cont"_s).isArray() : value != QVariant(true))) {
            qWarning().noquote() << "orlek-bench:" << method << keyword << "got" << reply.errorMessage() << value.toString();
            return -1;
        }
        return ms;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Times orlek-plugin over a private bus on a synthetic home, against the file-system work of reading everything."_s);
    parser.addHelpOption();
    const QCommandLineOption dirsOption(u"dirs"_s, u"Workspace-storage folders per VS Code variant (default 1000)."_s, u"N"_s, u"1000"_s);
    const QCommandLineOption searchesOption(u"searches"_s, u"Search calls to time (default 200)."_s, u"N"_s, u"200"_s);
    const QCommandLineOption serviceOption(u"service"_s, u"The service program (default: orlek-plugin beside this program)."_s, u"PATH"_s);
    const QCommandLineOption keepOption(u"keep"_s, u"Keep the home and the service's log."_s);
    parser.addOptions({dirsOption, searchesOption, serviceOption, keepOption});
    parser.process(app);
    const int dirs = parser.value(dirsOption).toInt();
    const int searches = parser.value(searchesOption).toInt();
    const QString program = parser.isSet(serviceOption) ? parser.value(serviceOption) : QCoreApplication::applicationDirPath() + u"/orlek-plugin"_s;
    if (dirs <= 0 || searches <= 0 || !QFileInfo(program).isExecutable()) {
        qWarning("orlek-bench: --dirs and --searches take a positive number, --service a program");
        return 2;
    }
    // Ends the run early, still removing the home.
    for (int signal : {SIGINT, SIGTERM}) {
        std::signal(signal, [](int) {
            interrupted = 1;
        });
    }

    QTemporaryDir tmp(QDir::tempPath() + u"/orlek-bench-XXXXXX"_s);
    tmp.setAutoRemove(!parser.isSet(keepOption));
    const QString home = tmp.filePath(u"home"_s);
    qInfo("writing a home with %d workspace-storage folders per VS Code variant...", dirs);
    const HomeCounts h = writeSyntheticHome(home, dirs);
    // Unless it finds every path, the home is not whole or the floor does not read everything.
    const FloorCounts f = ioFloor(home);
    if (f.paths != h.searchedPaths || f.queries != h.stateDatabases) {
        qWarning("orlek-bench: the I/O floor finds %d of %d paths and %d of %d databases in %s",
            f.paths,
            h.searchedPaths,
            f.queries,
            h.stateDatabases,
            qPrintable(home));
        return 1;
    }

    PrivateBus bus;
    const double startMs = bus.start(program, home, tmp.filePath(u"orlek-plugin.log"_s));
    const QString memoryAtStart = memory(bus.service.processId());
    int items = 0;
    const double firstMs = startMs < 0 ? -1 : bus.call(u"Search"_s, keywords.first(), &items);
    if (firstMs < 0) {
        qWarning("orlek-bench: the service did not answer (--keep keeps its log)");
        return 1;
    }
    // Search, Stop and the floor take turns, so that all three meet the same
    // caches and the same load; a round of every keyword warms them up.
    QList<double> search, stop, floor;
    QMap<QString, int> itemsPerKeyword;
    for (int i = -keywords.size(); i < searches && !interrupted; ++i) {
        const QString &keyword = keywords[(i + keywords.size()) % keywords.size()];
        const double searchMs = bus.call(u"Search"_s, keyword, &(items = 0));
        const double stopMs = bus.call(u"Stop"_s);
        QElapsedTimer timer;
        timer.start();
        ioFloor(home);
        if (searchMs < 0 || stopMs < 0) {
            return 1;
        }
        if (i >= 0) {
            search.append(searchMs);
            stop.append(stopMs);
            floor.append(timer.nsecsElapsed() / 1e6);
            itemsPerKeyword.insert(keyword, items);
        }
    }
    if (interrupted) {
        return 1;
    }

    QTextStream out(stdout);
    out << "home: " << vscodeVariants().size() << " VS Code variants x " << dirs << " workspace-storage folders, " << h.recentEntries
        << " recent-list entries in " << h.stateDatabases << " state databases; 14 JetBrains rows x 3 versions (" << h.jetbrainsEntries << " entries) + "
        << h.riderSolutions << " Rider solutions\n"
        << "I/O floor per search: " << f.listings << " listings, " << f.filesRead << " files read (" << QString::number(f.bytesRead / 1048576.0, 'f', 1)
        << " MB), " << f.queries << " queries, " << f.stats << " stats\nitems per answer:";
    for (auto it = itemsPerKeyword.cbegin(); it != itemsPerKeyword.cend(); ++it) {
        out << " \"" << it.key() << "\" " << it.value();
    }
    auto row = [&out](const QString &label, const QString &first, const QString &second = QString()) {
        out << QString(label.leftJustified(42) + first.rightJustified(12) + second.rightJustified(10)).trimmed() << '\n';
    };
    auto ms = [](double value) {
        return QString::number(value, 'f', 2);
    };
    out << "\n\n";
    row(u"over %1 calls"_s.arg(searches), u"median"_s, u"p95"_s);
    row(u"Search over the bus (ms)"_s, ms(quantile(search, 0.5)), ms(quantile(search, 0.95)));
    row(u"Stop over the bus (ms)"_s, ms(quantile(stop, 0.5)), ms(quantile(stop, 0.95)));
    row(u"I/O floor, in-process (ms)"_s, ms(quantile(floor, 0.5)), ms(quantile(floor, 0.95)));
    row(u"(Search - Stop) / I/O floor"_s, ms((quantile(search, 0.5) - quantile(stop, 0.5)) / quantile(floor, 0.5)));
    row(u"service start to its name on the bus (ms)"_s, ms(startMs));
    row(u"first Search after start (ms)"_s, ms(firstMs));
    row(u"VmRSS / VmHWM after start-up (MB)"_s, memoryAtStart);
    row(u"VmRSS / VmHWM after the run (MB)"_s, memory(bus.service.processId()));
    if (parser.isSet(keepOption)) {
        out << "kept: " << tmp.path() << '\n';
    }
    return 0;
}
