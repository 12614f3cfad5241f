// orlek-bench: times the built service over a private bus on a large
// synthetic home, against the file-system work that a search cannot avoid.

#include "iofloor.h"
#include "privatebusservice.h"
#include "synthetichome.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace
{
volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &progress()
{
    static QTextStream stream(stderr);
    return stream;
}

// What a user types, one key after another: single letters, three letters,
// a source prefix alone and with a word, and a word that matches nothing.
const QStringList keywords = {u"a"_s, u"k"_s, u"web"_s, u"ore"_s, u"vsc"_s, u"jb"_s, u"jb x"_s, u"vsc api"_s, u"nomatchzq"_s};

struct Options {
    int dirs = 1000;
    int searches = 200;
    bool searchesGiven = false;
    bool scaling = false;
    bool memory = false;
    bool keep = false;
    QString service;
};

struct RunResult {
    HomeCounts home;
    FloorCounts floor;
    double firstAnswerMs = 0;
    double firstSearchMs = 0;
    qint64 rssStartKb = 0;
    qint64 rssWarmKb = 0;
    qint64 rssEndKb = 0;
    QList<double> search;
    QList<double> stop;
    QList<double> floorMs;
    QList<QPair<int, qint64>> rssCheckpoints;
    QHash<QString, int> itemsPerKeyword;
};

double quantile(QList<double> values, double q)
{
    if (values.isEmpty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const double rank = q * (values.size() - 1);
    const qsizetype below = qsizetype(rank);
    const qsizetype above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (rank - below);
}

double median(const QList<double> &values)
{
    return quantile(values, 0.5);
}

QString megabytes(qint64 kb)
{
    return kb < 0 ? u"?"_s : QString::number(kb / 1024.0, 'f', 1);
}

QString searchJson(int id, const QString &keyword)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, QString::number(id)}, {u"cont"_s, keyword}}).toJson(QJsonDocument::Compact));
}

// Items in an answer, or -1 when it is not the answer to that request.
int answerItems(const QVariant &answer, int id)
{
    const QJsonObject document = QJsonDocument::fromJson(answer.toString().toUtf8()).object();
    if (document.value(u"mID"_s).toString() != QString::number(id) || !document.value(u"cont"_s).isArray()) {
        return -1;
    }
    int items = 0;
    for (const QJsonValue &group : document.value(u"cont"_s).toArray()) {
        items += group.toObject().value(u"items"_s).toArray().size();
    }
    return items;
}

// The generated home lives as long as this object; every run grows it to
// its size and starts a fresh bus and service on it.
class Bench
{
public:
    explicit Bench(const Options &options) : options(options), tmp(QDir::tempPath() + u"/orlek-bench-XXXXXX"_s), home(tmp.filePath(u"home"_s)), generator(home)
    {
        tmp.setAutoRemove(!options.keep);
    }

    ~Bench()
    {
        if (options.keep && tmp.isValid()) {
            out() << "kept: home " << home << ", service logs in " << tmp.path() << Qt::endl;
        }
    }

    Q_DISABLE_COPY(Bench)

    std::optional<RunResult> run(int dirs, int searches)
    {
        result = RunResult();
        if (!tmp.isValid()) {
            return fail(u"cannot create a temporary directory: "_s + tmp.errorString());
        }
        if (!QDir().mkpath(home)) {
            return fail(u"cannot create "_s + home);
        }
        progress() << "writing a home with " << dirs << " workspace-storage directories per VS Code variant..." << Qt::endl;
        QString error;
        if (!generator.generate(dirs, &error)) {
            return fail(u"cannot write the home: "_s + error);
        }
        result.home = generator.counts();
        if (!checkFloor()) {
            return std::nullopt;
        }

        logPath = tmp.filePath(u"orlek-plugin-%1.log"_s.arg(dirs));
        progress() << "starting " << options.service << " on a private bus..." << Qt::endl;
        service = std::make_unique<PrivateBusService>(options.service);
        if (!service->start(home, logPath, &result.firstAnswerMs, &error)) {
            return fail(error + logHint());
        }
        result.rssStartKb = service->residentKb();
        int items = 0;
        if (!search(keywords.first(), &result.firstSearchMs, &items)) {
            return std::nullopt;
        }
        const bool ok = options.memory ? measureMemory(searches) : measureTimes(searches);
        service.reset();
        if (!ok) {
            return std::nullopt;
        }
        return result;
    }

private:
    QString logHint() const
    {
        return options.keep ? u" (service log: "_s + logPath + u')' : u" (--keep keeps the service log)"_s;
    }

    std::optional<RunResult> fail(const QString &message)
    {
        progress() << "orlek-bench: " << message << Qt::endl;
        return std::nullopt;
    }

    // The floor must find every path the generator recorded, or it does not
    // do the work a search does.
    bool checkFloor()
    {
        result.floor = ioFloor(home);
        const HomeCounts &h = result.home;
        const FloorCounts &f = result.floor;
        if (f.jetbrainsPaths != h.jetbrainsNewestPaths || f.vscodeRecentPaths != h.vscodeRecent || f.workspacePaths != h.workspaceDirs
            || f.queries != h.stateDatabases) {
            fail(u"the I/O floor disagrees with the home: JetBrains paths %1 of %2, recent folders %3 of %4, workspace targets %5 of %6, queries %7"_s
                     .arg(f.jetbrainsPaths)
                     .arg(h.jetbrainsNewestPaths)
                     .arg(f.vscodeRecentPaths)
                     .arg(h.vscodeRecent)
                     .arg(f.workspacePaths)
                     .arg(h.workspaceDirs)
                     .arg(f.queries));
            return false;
        }
        return true;
    }

    bool search(const QString &keyword, double *ms, int *items)
    {
        const int id = ++requestId;
        const CallResult answer = service->call(u"Search"_s, searchJson(id, keyword));
        *ms = answer.ms;
        *items = answer.ok ? answerItems(answer.value, id) : -1;
        if (*items < 0) {
            fail(u"Search for \"%1\" failed: %2"_s.arg(keyword, answer.ok ? u"unexpected answer "_s + answer.value.toString() : answer.error) + logHint());
            return false;
        }
        return true;
    }

    bool stop(double *ms)
    {
        const CallResult answer = service->call(u"Stop"_s, u"{\"ver\":\"1.0\",\"mID\":\"%1\"}"_s.arg(++requestId));
        *ms = answer.ms;
        if (!answer.ok || answer.value != QVariant(true)) {
            fail(u"Stop failed: "_s + answer.error + logHint());
            return false;
        }
        return true;
    }

    static double timeFloor(const QString &home)
    {
        QElapsedTimer timer;
        timer.start();
        ioFloor(home);
        return timer.nsecsElapsed() / 1e6;
    }

    // Search, Stop and the floor take turns, so all three meet the same
    // caches and the same load on the machine.
    bool measureTimes(int searches)
    {
        double ms;
        int items;
        for (const QString &keyword : keywords) {
            if (!search(keyword, &ms, &items) || !stop(&ms)) {
                return false;
            }
            timeFloor(home);
        }
        progress() << "timing " << searches << " searches, as many Stop calls and I/O floor passes..." << Qt::endl;
        for (int i = 0; i < searches && !interrupted; ++i) {
            const QString &keyword = keywords[i % keywords.size()];
            if (!search(keyword, &ms, &items)) {
                return false;
            }
            result.search.append(ms);
            result.itemsPerKeyword.insert(keyword, items);
            if (!stop(&ms)) {
                return false;
            }
            result.stop.append(ms);
            result.floorMs.append(timeFloor(home));
        }
        result.rssEndKb = service->residentKb();
        if (interrupted) {
            fail(u"interrupted"_s);
            return false;
        }
        return true;
    }

    // Growth is counted from after one round of every keyword, when what is
    // loaded once (the database driver, the item cache's entries) is in.
    bool measureMemory(int searches)
    {
        double ms;
        int items;
        for (const QString &keyword : keywords) {
            if (!search(keyword, &ms, &items)) {
                return false;
            }
        }
        result.rssWarmKb = service->residentKb();
        result.rssCheckpoints.append({0, result.rssWarmKb});
        progress() << "running " << searches << " searches..." << Qt::endl;
        const int step = std::max(1, searches / 10);
        for (int i = 0; i < searches && !interrupted; ++i) {
            const QString &keyword = keywords[i % keywords.size()];
            if (!search(keyword, &ms, &items)) {
                return false;
            }
            result.search.append(ms);
            result.itemsPerKeyword.insert(keyword, items);
            if ((i + 1) % step == 0) {
                result.rssCheckpoints.append({i + 1, service->residentKb()});
            }
        }
        result.rssEndKb = service->residentKb();
        if (interrupted) {
            fail(u"interrupted"_s);
            return false;
        }
        return true;
    }

    const Options &options;
    QTemporaryDir tmp;
    const QString home;
    SyntheticHome generator;
    std::unique_ptr<PrivateBusService> service;
    QString logPath;
    RunResult result;
    int requestId = 0;
};

void printHome(const RunResult &r, int dirs)
{
    const HomeCounts &h = r.home;
    out() << "home: 5 VS Code variants x " << dirs << " workspace-storage dirs (" << h.workspaceDirs << "), " << h.vscodeRecent
          << " recent folders in state databases; 14 JetBrains rows x 3 versions (" << h.jetbrainsEntries << " entries) + " << h.riderSolutions
          << " Rider solutions; written in " << QString::number(h.generationMs / 1000.0, 'f', 1) << " s" << Qt::endl;
    const FloorCounts &f = r.floor;
    out() << "I/O floor per search: " << f.listings << " listings, " << f.filesRead << " files read (" << QString::number(f.bytesRead / 1048576.0, 'f', 1)
          << " MB), " << f.queries << " queries, " << f.stats << " stats" << Qt::endl;
}

void printItems(const RunResult &r)
{
    QStringList parts;
    for (const QString &keyword : keywords) {
        if (r.itemsPerKeyword.contains(keyword)) {
            parts.append(u"\"%1\" %2"_s.arg(keyword).arg(r.itemsPerKeyword.value(keyword)));
        }
    }
    out() << "items per answer: " << parts.join(u", "_s) << Qt::endl;
}

QString row(const QString &label, const QString &first, const QString &second = QString())
{
    QString line = label.leftJustified(38) + first.rightJustified(10) + second.rightJustified(10);
    while (line.endsWith(u' ')) {
        line.chop(1);
    }
    return line;
}

QString ms(double value)
{
    return QString::number(value, 'f', 2);
}

void printTimes(const RunResult &r, int dirs)
{
    printHome(r, dirs);
    printItems(r);
    const double ratio = (median(r.search) - median(r.stop)) / median(r.floorMs);
    out() << Qt::endl
          << row(u"over "_s + QString::number(r.search.size()) + u" calls"_s, u"median"_s, u"p95"_s) << Qt::endl
          << row(u"Search over the bus (ms)"_s, ms(median(r.search)), ms(quantile(r.search, 0.95))) << Qt::endl
          << row(u"Stop over the bus (ms)"_s, ms(median(r.stop)), ms(quantile(r.stop, 0.95))) << Qt::endl
          << row(u"I/O floor, in-process (ms)"_s, ms(median(r.floorMs)), ms(quantile(r.floorMs, 0.95))) << Qt::endl
          << row(u"(Search - Stop) / I/O floor"_s, QString::number(ratio, 'f', 2)) << Qt::endl
          << row(u"time to first answer (ms)"_s, ms(r.firstAnswerMs)) << Qt::endl
          << row(u"first Search after start (ms)"_s, ms(r.firstSearchMs)) << Qt::endl
          << row(u"RSS after start-up (MB)"_s, megabytes(r.rssStartKb)) << Qt::endl
          << row(u"RSS after the run (MB)"_s, megabytes(r.rssEndKb)) << Qt::endl;
}

void printMemory(const RunResult &r, int dirs)
{
    printHome(r, dirs);
    printItems(r);
    out() << Qt::endl << row(u"searches done"_s, u"RSS (MB)"_s) << Qt::endl;
    out() << row(u"start-up"_s, megabytes(r.rssStartKb)) << Qt::endl;
    for (const auto &checkpoint : r.rssCheckpoints) {
        out() << row(checkpoint.first == 0 ? u"after one round of keywords"_s : QString::number(checkpoint.first), megabytes(checkpoint.second)) << Qt::endl;
    }
    // Memory may also shrink, by a little.
    const QString growth = r.rssEndKb < 0 || r.rssWarmKb < 0 ? u"?"_s : QString::number((r.rssEndKb - r.rssWarmKb) / 1024.0, 'f', 1);
    out() << row(u"growth after the first round (MB)"_s, growth) << Qt::endl << row(u"Search median (ms)"_s, ms(median(r.search))) << Qt::endl;
}

int runScaling(const Options &options)
{
    const int searches = options.searchesGiven ? options.searches : 100;
    const QList<int> sizes = {250, 500, 1000, 2000};
    QList<RunResult> results;
    Bench bench(options);
    for (int dirs : sizes) {
        const std::optional<RunResult> result = bench.run(dirs, searches);
        if (!result) {
            return 1;
        }
        printHome(*result, dirs);
        results.append(*result);
    }
    const double reference = median(results[sizes.indexOf(1000)].search) - median(results[sizes.indexOf(1000)].stop);
    out() << Qt::endl << "medians over " << searches << " calls each, in ms" << Qt::endl;
    out() << u"dirs per variant"_s.leftJustified(18) << u"Search"_s.rightJustified(10) << u"Stop"_s.rightJustified(10) << u"I/O floor"_s.rightJustified(12)
          << u"ratio"_s.rightJustified(8) << u"Search-Stop vs 1000"_s.rightJustified(22) << Qt::endl;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const RunResult &r = results[i];
        const double cost = median(r.search) - median(r.stop);
        out() << QString::number(sizes[i]).leftJustified(18) << ms(median(r.search)).rightJustified(10) << ms(median(r.stop)).rightJustified(10)
              << ms(median(r.floorMs)).rightJustified(12) << QString::number(cost / median(r.floorMs), 'f', 2).rightJustified(8)
              << QString::number(cost / reference, 'f', 2).rightJustified(22) << Qt::endl;
    }
    out() << "ratio: (Search - Stop) / I/O floor" << Qt::endl;
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"orlek-bench"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Times orlek-plugin over a private D-Bus on a generated home, against the file-system work that one search cannot avoid."_s);
    parser.addHelpOption();
    const QCommandLineOption dirsOption(u"dirs"_s, u"Workspace-storage directories per VS Code variant (default 1000; 100 with --memory)."_s, u"N"_s);
    const QCommandLineOption searchesOption(u"searches"_s, u"Search calls to time (default 200; 100 per size with --scaling; 10000 with --memory)."_s, u"N"_s);
    const QCommandLineOption scalingOption(u"scaling"_s, u"Print the medians for 250, 500, 1000 and 2000 directories per variant."_s);
    const QCommandLineOption memoryOption(u"memory"_s, u"Run many searches and follow the service's resident memory."_s);
    const QCommandLineOption serviceOption(u"service"_s, u"The service program (default: orlek-plugin beside this program)."_s, u"PATH"_s);
    const QCommandLineOption keepOption(u"keep"_s, u"Keep the generated home and the service log, and print where they are."_s);
    parser.addOptions({dirsOption, searchesOption, scalingOption, memoryOption, serviceOption, keepOption});
    parser.process(app);

    Options options;
    options.scaling = parser.isSet(scalingOption);
    options.memory = parser.isSet(memoryOption);
    options.keep = parser.isSet(keepOption);
    if (options.scaling && options.memory) {
        progress() << "orlek-bench: --scaling and --memory exclude each other" << Qt::endl;
        return 2;
    }
    if (options.memory) {
        options.dirs = 100;
        options.searches = 10000;
    }
    auto number = [&parser](const QCommandLineOption &option, int *value) {
        if (!parser.isSet(option)) {
            return true;
        }
        bool ok = false;
        *value = parser.value(option).toInt(&ok);
        return ok && *value > 0;
    };
    options.searchesGiven = parser.isSet(searchesOption);
    if (!number(dirsOption, &options.dirs) || !number(searchesOption, &options.searches)) {
        progress() << "orlek-bench: --dirs and --searches take a positive number" << Qt::endl;
        return 2;
    }
    options.service = parser.isSet(serviceOption) ? parser.value(serviceOption) : QCoreApplication::applicationDirPath() + u"/orlek-plugin"_s;
    if (!QFileInfo(options.service).isExecutable()) {
        progress() << "orlek-bench: no service program at " << options.service << " (build it, or pass --service)" << Qt::endl;
        return 2;
    }

    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (options.scaling) {
        return runScaling(options);
    }
    Bench bench(options);
    const std::optional<RunResult> result = bench.run(options.dirs, options.searches);
    if (!result) {
        return 1;
    }
    out() << Qt::endl;
    if (options.memory) {
        printMemory(*result, options.dirs);
    } else {
        printTimes(*result, options.dirs);
    }
    return 0;
}
