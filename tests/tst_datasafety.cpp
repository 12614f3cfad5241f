#include "testutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
constexpr qint64 T0 = 1700000000000;

QString encoded(const QString &path)
{
    return QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

QByteArray recentProjectsXml(const QByteArray &key, qint64 time)
{
    return "<application>\n"
           "  <component name=\"RecentProjectsManager\">\n"
           "    <option name=\"additionalInfo\">\n"
           "      <map>\n"
           "        <entry key=\""
        + key
        + "\">\n"
          "          <value>\n"
          "            <RecentProjectMetaInfo frameTitle=\"project\">\n"
          "              <option name=\"projectOpenTimestamp\" value=\""
        + QByteArray::number(time)
        + "\" />\n"
          "            </RecentProjectMetaInfo>\n"
          "          </value>\n"
          "        </entry>\n"
          "      </map>\n"
          "    </option>\n"
          "    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/IdeaProjects\" />\n"
          "  </component>\n"
          "</application>";
}

// "<group>: <item>" for every item of an answer, in its order.
QStringList itemsOf(const QString &answer)
{
    QStringList items;
    for (const QJsonValue &group : QJsonDocument::fromJson(answer.toUtf8()).object().value(u"cont"_s).toArray()) {
        for (const QJsonValue &item : group[u"items"_s].toArray()) {
            items.append(group[u"group"_s].toString() + u": "_s + item[u"item"_s].toString());
        }
    }
    return items;
}

QString actionRequest(const QString &item)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, item}}).toJson(QJsonDocument::Compact));
}

QString searchRequest(const QString &cont)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, u"m"_s}, {u"cont"_s, cont}}).toJson(QJsonDocument::Compact));
}
} // namespace

// The service only ever reads what the IDEs keep. A home with the files of
// every IDE, state databases in every journal state (one of them held open by
// a running editor), desktop entries and a Toolbox installation is
// snapshotted (every file and folder, its size, content hash and modification
// time) before and after a round of searches and actions over the bus, and
// must not have changed at all. The fake programs that the actions start log
// outside the home; the folders the service would use for caches, state,
// runtime files and temporary files, and its working folder, are watched too.
class TestDataSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void searchesAndActionsWriteNothing();

private:
    std::unique_ptr<TestUtil::FakeHome> home;
    QTemporaryDir outside;
    TestUtil::ServiceProcess service;
    TestUtil::FakeEditor insiders;
    QString runs;
    QString watched;
};

void TestDataSafety::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(outside.isValid());
    home = std::make_unique<TestUtil::FakeHome>(u"safe-home"_s);
    QVERIFY(home->isValid());
    runs = outside.filePath(u"log/runs.log"_s);
    QVERIFY(QDir().mkpath(outside.filePath(u"log"_s)));
    watched = outside.filePath(u"watched"_s);
    for (const char *folder : {"cache", "state", "runtime", "tmp", "cwd"}) {
        QVERIFY(QDir().mkpath(watched + u'/' + QLatin1String(folder)));
    }
    QVERIFY(QFile::setPermissions(watched + u"/runtime"_s, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    const QString h = home->path();
    for (const char *folder : {"IdeaProjects/shop",
             "PycharmProjects/ml",
             "RiderProjects/Game",
             "AndroidStudioProjects/droid",
             "src/code-app",
             "src/live",
             "src/insiders-old",
             "src/oss-crashed",
             "src/oss-lost",
             "src/codium-main",
             "src/codium-ws",
             "src/cursor-main",
             "src/cursor-ws",
             "w"}) {
        QVERIFY(home->mkpath(QString::fromUtf8(folder)));
    }
    QVERIFY(home->write(u"RiderProjects/Game/Game.sln"_s, "Microsoft Visual Studio Solution File, Format Version 12.00\n"));
    QVERIFY(home->write(u"w/team.code-workspace"_s, "{\n\t\"folders\": [{\"path\": \"../src/code-app\"}]\n}\n"));

    // JetBrains and Android Studio, one of them in two versions, Rider with
    // its solutions file, and the IDEs' other option files beside.
    QVERIFY(home->write(u".config/JetBrains/IntelliJIdea2024.1/options/recentProjects.xml"_s, recentProjectsXml("$USER_HOME$/IdeaProjects/shop", T0 + 9000)));
    QVERIFY(home->write(u".config/JetBrains/IntelliJIdea2024.1/options/other.xml"_s, "<application />\n"));
    QVERIFY(home->write(u".config/JetBrains/PyCharm2023.3/options/recentProjects.xml"_s, recentProjectsXml("$USER_HOME$/PycharmProjects/ml", T0 + 100)));
    QVERIFY(home->write(u".config/JetBrains/PyCharm2024.1/options/recentProjects.xml"_s, recentProjectsXml("$USER_HOME$/PycharmProjects/ml", T0 + 8000)));
    QVERIFY(home->write(u".config/JetBrains/Rider2024.1/options/recentProjects.xml"_s, recentProjectsXml("$USER_HOME$/RiderProjects", T0 + 50)));
    QVERIFY(
        home->write(u".config/JetBrains/Rider2024.1/options/recentSolutions.xml"_s, recentProjectsXml("$USER_HOME$/RiderProjects/Game/Game.sln", T0 + 7000)));
    QVERIFY(home->write(
        u".config/Google/AndroidStudio2024.1/options/recentProjects.xml"_s, recentProjectsXml("$USER_HOME$/AndroidStudioProjects/droid", T0 + 6000)));

    const auto list = [&h](const QStringList &relatives) -> QByteArray {
        QByteArray json = "{\"entries\":[";
        for (const QString &relative : relatives) {
            // A workspace file opened as a file; folders as folders.
            const QByteArray member = relative.endsWith(u".code-workspace"_s) ? "fileUri" : "folderUri";
            json += (json.endsWith('[') ? "{\"" : ",{\"") + member + "\":\"file://" + encoded(h + u'/' + relative).toUtf8() + "\"}";
        }
        return json + "]}";
    };
    // The shared database in WAL mode, closed cleanly (no -wal, no -shm),
    // lists only a folder that is gone, so VS Code's own one is read too: a
    // WAL database beside a lone -shm, with its backup.
    const QString shared = home->filePath(u".vscode-shared/sharedStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(shared, list({u"gone"_s}), u"WAL"_s));
    const QString code = home->filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(code, list({u"src/code-app"_s, u"w/team.code-workspace"_s}), u"WAL"_s));
    QVERIFY(QFile::copy(code, code + u".backup"_s));
    // Insiders at work: its newest list only in the -wal of a running editor.
    const QString insidersDb = home->filePath(u".config/Code - Insiders/User/globalStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(insidersDb, list({u"src/insiders-old"_s}), u"WAL"_s));
    QVERIFY(insiders.start(insidersDb));
    QVERIFY(insiders.setRecentList(list({u"src/live"_s})));
    QVERIFY(TestUtil::setModificationTime(insidersDb, T0 + 4000));
    // OSS crashed: -wal and -shm left behind, the newer list in the -wal.
    const QString ossDb = home->filePath(u".config/Code - OSS/User/globalStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(ossDb, list({u"src/oss-crashed"_s}), u"WAL"_s));
    {
        TestUtil::FakeEditor crashing;
        QVERIFY(crashing.start(ossDb));
        QVERIFY(crashing.setRecentList(list({u"src/oss-lost"_s})));
        crashing.crash();
    }
    QVERIFY(QFileInfo(ossDb + u"-wal"_s).size() > 0 && QFileInfo::exists(ossDb + u"-shm"_s));
    QVERIFY(TestUtil::setModificationTime(ossDb, T0 + 3000));
    QVERIFY(QFile::copy(ossDb + u"-shm"_s, code + u"-shm"_s));
    QVERIFY(TestUtil::setModificationTime(code, T0 + 5000));
    // VSCodium: a WAL database beside a lone -wal; Cursor: a rollback-journal
    // database beside an empty -journal.
    const QString codiumDb = home->filePath(u".config/VSCodium/User/globalStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(codiumDb, list({u"src/codium-main"_s}), u"WAL"_s));
    QVERIFY(QFile::copy(ossDb + u"-wal"_s, codiumDb + u"-wal"_s));
    QVERIFY(TestUtil::setModificationTime(codiumDb, T0 + 2500));
    const QString cursorDb = home->filePath(u".config/Cursor/User/globalStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(cursorDb, list({u"src/cursor-main"_s})));
    QVERIFY(home->write(u".config/Cursor/User/globalStorage/state.vscdb-journal"_s, QByteArray()));
    QVERIFY(TestUtil::setModificationTime(cursorDb, T0 + 1500));
    // storage.json beside every database, and each variant's workspace storage.
    int n = 0;
    for (const char *variant : {"Code", "Code - Insiders", "Code - OSS", "VSCodium", "Cursor"}) {
        const QString user = u".config/"_s + QLatin1String(variant) + u"/User/"_s;
        QVERIFY(home->write(user + u"globalStorage/storage.json"_s, "{\n    \"theme\": \"vs-dark\"\n}"));
        const QString folder = QLatin1String(variant) == "VSCodium"_L1 ? u"src/codium-ws"_s
            : QLatin1String(variant) == "Cursor"_L1                    ? u"src/cursor-ws"_s
                                                                       : u"src/code-app"_s;
        const QString storage = user + u"workspaceStorage/%1/"_s.arg(++n, 32, 16, QLatin1Char('0'));
        QVERIFY(home->write(storage + u"workspace.json"_s, "{\n  \"folder\": \"file://" + encoded(home->filePath(folder)).toUtf8() + "\"\n}"));
        QVERIFY(TestUtil::writeStateDb(home->filePath(storage + u"state.vscdb"_s), QByteArray()));
        QVERIFY(TestUtil::setModificationTime(home->filePath(storage + u"state.vscdb"_s), T0 + 2000 - 1000 * (n / 4)));
    }

    // How projects open: IntelliJ IDEA through its desktop entry, PyCharm
    // through a Toolbox script, VS Code, Insiders and OSS by their commands,
    // VSCodium through its desktop entry; the rest with the default handler.
    const QString ideaScript = home->filePath(u"opt/idea/bin/idea.sh"_s);
    QVERIFY(TestUtil::writeRecordingProgram(ideaScript, runs));
    QVERIFY(home->write(u".local/share/applications/jetbrains-idea.desktop"_s,
        "[Desktop Entry]\nType=Application\nName=IntelliJ IDEA Ultimate\nExec=\"" + QFile::encodeName(ideaScript) + "\" %u\n"));
    QVERIFY(TestUtil::writeRecordingProgram(home->filePath(u".local/share/JetBrains/Toolbox/apps/PyCharm-P/ch-0/241.14494.241/bin/pycharm.sh"_s), runs));
    const QString codiumProgram = home->filePath(u"usr/share/codium/codium"_s);
    QVERIFY(TestUtil::writeRecordingProgram(codiumProgram, runs));
    QVERIFY(home->write(u"usr/share/applications/codium.desktop"_s, "[Desktop Entry]\nName=VSCodium\nExec=" + QFile::encodeName(codiumProgram) + " %F\n"));
    for (const char *program : {"code", "code-insiders", "code-oss", "xdg-open"}) {
        QVERIFY(TestUtil::writeRecordingProgram(home->binDir() + u'/' + QLatin1String(program), runs));
    }
    QVERIFY(home->write(u".config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"_s, "[Shortcut]\nide=jetbrains\n"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CACHE_HOME"_s, watched + u"/cache"_s);
    env.insert(u"XDG_STATE_HOME"_s, watched + u"/state"_s);
    env.insert(u"XDG_RUNTIME_DIR"_s, watched + u"/runtime"_s);
    env.insert(u"TMPDIR"_s, watched + u"/tmp"_s);
    service.process.setWorkingDirectory(watched + u"/cwd"_s);
    QVERIFY2(service.start(env), qPrintable(service.log()));
}

void TestDataSafety::cleanupTestCase()
{
    QVERIFY2(service.stop(), qPrintable(service.log()));
    insiders.crash();
    home.reset();
}

void TestDataSafety::searchesAndActionsWriteNothing()
{
    const TestUtil::TreeSnapshot homeBefore = TestUtil::snapshotTree(home->path());
    const TestUtil::TreeSnapshot watchedBefore = TestUtil::snapshotTree(watched);
    // Every journal state is there to be read.
    for (const QString &file : {u".vscode-shared/sharedStorage/state.vscdb"_s,
             u".config/Code - Insiders/User/globalStorage/state.vscdb-wal"_s,
             u".config/Code - Insiders/User/globalStorage/state.vscdb-shm"_s,
             u".config/Code - OSS/User/globalStorage/state.vscdb-wal"_s,
             u".config/Code - OSS/User/globalStorage/state.vscdb-shm"_s,
             u".config/VSCodium/User/globalStorage/state.vscdb-wal"_s,
             u".config/Code/User/globalStorage/state.vscdb-shm"_s,
             u".config/Cursor/User/globalStorage/state.vscdb-journal"_s}) {
        QVERIFY2(homeBefore.contains(file), qPrintable(file));
    }
    QVERIFY(!homeBefore.contains(u".vscode-shared/sharedStorage/state.vscdb-wal"_s));
    QVERIFY(!homeBefore.contains(u".vscode-shared/sharedStorage/state.vscdb-shm"_s));
    QVERIFY(!homeBefore.contains(u".config/Code/User/globalStorage/state.vscdb-wal"_s));

    const auto path = [this](const QString &relative) -> QString {
        return home->filePath(relative);
    };
    const auto item = [&path](int number, const QString &relative) -> QString {
        return u"%1|"_s.arg(number, 3, 10, QLatin1Char('0')) + path(relative);
    };
    const auto open = [&](const QString &id, const QString &program, const QString &argument) {
        QFile::remove(runs);
        QCOMPARE(TestUtil::callService(u"Action"_s, actionRequest(id)), u"true"_s);
        const QString started = program + u" <"_s + argument + u">\n"_s;
        QCOMPARE(TestUtil::settledText(runs, started), started);
    };

    // An action before any search: found by a fresh read of every source.
    open(item(0, u"src/oss-crashed"_s), u"code-oss"_s, path(u"src/oss-crashed"_s));

    // Every project of the home; the running editor's newest list is read
    // from its -wal, the crashed editors' main files alone.
    const QStringList all{
        u"IntelliJ IDEA: "_s + item(0, u"IdeaProjects/shop"_s),
        u"PyCharm: "_s + item(1, u"PycharmProjects/ml"_s),
        u"Rider - Solutions: "_s + item(2, u"RiderProjects/Game/Game.sln"_s),
        u"Android Studio: "_s + item(3, u"AndroidStudioProjects/droid"_s),
        u"VS Code: "_s + item(4, u"src/code-app"_s),
        u"VS Code: "_s + item(5, u"w/team.code-workspace"_s),
        u"VS Code Insiders: "_s + item(6, u"src/live"_s),
        u"VS Code OSS: "_s + item(7, u"src/oss-crashed"_s),
        u"VSCodium: "_s + item(8, u"src/codium-main"_s),
        u"VSCodium: "_s + item(10, u"src/codium-ws"_s),
        u"Cursor: "_s + item(9, u"src/cursor-main"_s),
        u"Cursor: "_s + item(11, u"src/cursor-ws"_s),
        u"Rider: "_s + item(12, u"RiderProjects"_s),
    };

    QCOMPARE(itemsOf(TestUtil::callService(u"Search"_s, searchRequest(u"safe-home"_s))), all);
    for (const QString &cont : {u"jb"_s, u"vsc"_s, u"ide shop"_s, u"live"_s, u"  "_s, u"nothing like it"_s}) {
        QVERIFY(TestUtil::callService(u"Search"_s, searchRequest(cont)).startsWith(u"{\"cont\":"_s));
    }
    QCOMPARE(TestUtil::callService(u"Stop"_s, searchRequest(QString())), u"true"_s);

    // Every way of opening, and refusals.
    open(item(0, u"IdeaProjects/shop"_s), u"idea.sh"_s, path(u"IdeaProjects/shop"_s));
    open(item(1, u"PycharmProjects/ml"_s), u"pycharm.sh"_s, path(u"PycharmProjects/ml"_s));
    open(item(2, u"RiderProjects/Game/Game.sln"_s), u"xdg-open"_s, path(u"RiderProjects/Game/Game.sln"_s));
    open(item(3, u"AndroidStudioProjects/droid"_s), u"xdg-open"_s, path(u"AndroidStudioProjects/droid"_s));
    open(item(4, u"src/code-app"_s), u"code"_s, path(u"src/code-app"_s));
    open(item(5, u"w/team.code-workspace"_s), u"code"_s, path(u"w/team.code-workspace"_s));
    open(item(6, u"src/live"_s), u"code-insiders"_s, path(u"src/live"_s));
    open(item(8, u"src/codium-main"_s), u"codium"_s, path(u"src/codium-main"_s));
    open(item(11, u"src/cursor-ws"_s), u"xdg-open"_s, path(u"src/cursor-ws"_s));
    open(item(12, u"RiderProjects"_s), u"xdg-open"_s, path(u"RiderProjects"_s));
    QCOMPARE(TestUtil::callService(u"Action"_s, actionRequest(item(0, u"src/oss-lost"_s))), u"false"_s);
    QCOMPARE(TestUtil::callService(u"Action"_s, actionRequest(item(0, u"notes.txt"_s))), u"false"_s);

    const QStringList homeChanges = TestUtil::treeChanges(homeBefore, TestUtil::snapshotTree(home->path()));

    QVERIFY2(homeChanges.isEmpty(), qPrintable(homeChanges.join(u'\n')));
    // Nothing in the folders for caches, state, runtime and temporary files,
    // nor in the working folder: the service keeps no state of its own.
    const QStringList watchedChanges = TestUtil::treeChanges(watchedBefore, TestUtil::snapshotTree(watched));
    QVERIFY2(watchedChanges.isEmpty(), qPrintable(watchedChanges.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
