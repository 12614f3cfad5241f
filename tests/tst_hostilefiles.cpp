#include "testutil.h"

#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
constexpr qint64 T0 = 1700000000000;
// Far beyond the read limit of record files; sparse, so it takes no disk.
constexpr qint64 hugeSize = qint64(4) * 1024 * 1024 * 1024;
// Every call here is answered in well under a second; a reader that blocks
// on a FIFO or takes a file whole would not be.
constexpr int callLimitMs = 4000;

// Per-cent-encodes as the editors do: all but letters, digits and "-._~/".
QString encoded(const QString &path)
{
    return QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

QByteArray garbage(int size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// recentProjects.xml as the IDEs write it. Keys are given as they stand in
// the file, XML escapes included.
QByteArray recentProjectsXml(const QList<std::pair<QByteArray, qint64>> &entries)
{
    QByteArray xml = "<application>\n"
                     "  <component name=\"RecentProjectsManager\">\n"
                     "    <option name=\"additionalInfo\">\n"
                     "      <map>\n";
    for (const auto &[key, time] : entries) {
        xml += "        <entry key=\"" + key
            + "\">\n"
              "          <value>\n"
              "            <RecentProjectMetaInfo frameTitle=\"project\" projectWorkspaceId=\"2bWx1\">\n"
              "              <option name=\"build\" value=\"IU-241.14494.240\" />\n"
              "              <option name=\"projectOpenTimestamp\" value=\""
            + QByteArray::number(time)
            + "\" />\n"
              "            </RecentProjectMetaInfo>\n"
              "          </value>\n"
              "        </entry>\n";
    }
    xml += "      </map>\n"
           "    </option>\n"
           "    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/IdeaProjects\" />\n"
           "  </component>\n"
           "</application>";
    return xml;
}

QByteArray workspaceJson(const QString &folder)
{
    return "{\n  \"folder\": \"file://" + encoded(folder).toUtf8() + "\"\n}";
}

// Writes to a path given in bytes, for names that no QString can hold.
bool writeRaw(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size());
    return ::close(fd) == 0 && ok;
}

QString storageId(int n)
{
    return u"%1"_s.arg(n, 32, 16, QLatin1Char('0'));
}

const QString insidersUser = u".config/Code - Insiders/User/"_s;
const QString insidersDb = insidersUser + u"globalStorage/state.vscdb"_s;
const QString sharedDb = u".vscode-shared/sharedStorage/state.vscdb"_s;
const QString golandList = u".config/JetBrains/GoLand2024.1/options/recentProjects.xml"_s;
} // namespace

// The built service over a private bus, on a home where the IDEs' files sit
// beside FIFOs, links to devices, huge sparse files, garbage, link loops and
// names that need quoting. Every hostile file must be passed over quickly,
// and the projects of the ordinary files beside them found exactly as ever.
class TestHostileFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void ordinaryProjectsBesideHostileFiles();
    void hostileFileInPlace_data();
    void hostileFileInPlace();
    void oddPathsOpenAsRecorded_data();
    void oddPathsOpenAsRecorded();

private:
    QString call(const QString &method, const QString &json);
    QString search(const QString &cont);
    QString expand(QString text) const
    {
        return text.replace(u"$HOME"_s, home->path());
    }
    bool placeHostile(const QString &relative, const QString &kind);
    void removePlaced(const QString &relative);

    std::unique_ptr<TestUtil::FakeHome> home;
    // Made with names that no QString holds; removed by hand, last first.
    QList<QByteArray> rawPaths;
    QTemporaryDir outside;
    TestUtil::ServiceProcess service;
    qint64 servicePid = 0;
    QString runs;
    QString everything;
    qint64 golandHeadSize = 0;
};

QString TestHostileFiles::call(const QString &method, const QString &json)
{
    return TestUtil::callService(method, json, callLimitMs);
}

QString TestHostileFiles::search(const QString &cont)
{
    return call(
        u"Search"_s, QString::fromUtf8(QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, u"m"_s}, {u"cont"_s, cont}}).toJson(QJsonDocument::Compact)));
}

bool TestHostileFiles::placeHostile(const QString &relative, const QString &kind)
{
    const QString path = home->filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Databases that can be read name a folder that does not exist, so
    // whether they are read or passed over, they add nothing.
    const QByteArray goneList = "{\"entries\":[{\"folderUri\":\"file://" + encoded(home->filePath(u"gone"_s)).toUtf8() + "\"}]}";
    if (kind == u"fifo"_s) {
        return TestUtil::makeFifo(path);
    }
    if (kind == u"device"_s) {
        return TestUtil::makeLink(u"/dev/zero"_s, path);
    }
    if (kind == u"directory"_s) {
        return QDir().mkpath(path) && TestUtil::writeFile(path + u"/inside"_s, "x");
    }
    if (kind == u"huge"_s) {
        return TestUtil::writeSparseFile(path, QByteArray(), hugeSize);
    }
    if (kind == u"garbage"_s) {
        return TestUtil::writeFile(path, garbage(64 * 1024, 8));
    }
    if (kind == u"loop"_s) {
        return TestUtil::makeLink(QFileInfo(path).fileName(), path);
    }
    if (kind == u"deep xml"_s) {
        return TestUtil::writeFile(path, "<application>" + QByteArray("<a>").repeated(20000) + "<entry key=\"$USER_HOME$/gone\"></entry>");
    }
    if (kind == u"deep json"_s) {
        return TestUtil::writeFile(path, "{\"folder\":" + QByteArray("[").repeated(100000) + QByteArray("]").repeated(100000) + "}");
    }
    if (kind == u"every json type"_s) {
        // Each member the readers look at, with each type but the one they read.
        return TestUtil::writeFile(path,
            "{\"folder\":[\"file:///\"],\"workspace\":{\"path\":\"/\"},"
            "\"lastKnownMenubarData\":{\"menus\":{\"File\":{\"items\":[1,null,\"x\",{\"id\":7},"
            "{\"id\":\"submenuitem.MenubarRecentMenu\",\"submenu\":{\"items\":[1,true,null,\"/\",[],"
            "{\"id\":\"openRecentFolder\",\"uri\":\"file:///\"},{\"id\":\"openRecentFolder\",\"uri\":{\"path\":5,\"external\":[]}},"
            "{\"id\":[\"openRecentFolder\"],\"uri\":{\"path\":\"/\"}},{\"id\":\"openRecentWorkspace\",\"label\":{}}]}}]},\"Edit\":[]}},"
            "\"openedPathsList\":[1,null,{\"folderUri\":[]},{\"fileUri\":{}},{\"uri\":5},{\"folderUri\":\"file:///gone-for-good\",\"label\":[]}]}");
    }
    if (kind == u"random pages"_s) {
        return TestUtil::writeFile(path, "SQLite format 3\0"_ba + garbage(16 * 1024, 9));
    }
    if (kind == u"list not json"_s) {
        return TestUtil::writeStateDb(path, "{\"entries\":[{\"folderUri\":");
    }
    if (kind == u"deep list"_s) {
        return TestUtil::writeStateDb(path, "{\"entries\":" + QByteArray("[").repeated(100000) + QByteArray("]").repeated(100000) + "}");
    }
    if (kind == u"list of every json type"_s) {
        return TestUtil::writeStateDb(path,
            "{\"entries\":[1,true,null,\"file:///\",[],{\"folderUri\":5},{\"folderUri\":[]},{\"fileUri\":{}},{\"uri\":true},"
            "{\"folderUri\":\"file:///gone-for-good\",\"label\":[]},{\"folderUri\":\"file:///%00\"}]}");
    }
    if (kind == u"wal with garbage companions"_s) {
        return TestUtil::writeStateDb(path, goneList, u"WAL"_s) && TestUtil::writeFile(path + u"-wal"_s, garbage(40 * 1024, 10))
            && TestUtil::writeFile(path + u"-shm"_s, garbage(32 * 1024, 11));
    }
    if (kind == u"crashed wal with garbage log"_s) {
        // The index of a real editor's session, and a log that does not fit it.
        TestUtil::FakeEditor editor;
        if (!editor.start(path) || !editor.setRecentList(goneList) || !editor.setRecentList(goneList)) {
            return false;
        }
        editor.crash();
        const qint64 size = QFileInfo(path + u"-wal"_s).size();
        return size > 0 && QFileInfo::exists(path + u"-shm"_s) && TestUtil::writeFile(path + u"-wal"_s, garbage(int(size), 12));
    }
    if (kind == u"wal with fifo companions"_s) {
        return TestUtil::writeStateDb(path, goneList, u"WAL"_s) && TestUtil::makeFifo(path + u"-wal"_s) && TestUtil::makeFifo(path + u"-shm"_s);
    }
    if (kind == u"fifo journal"_s) {
        return TestUtil::writeStateDb(path, goneList) && TestUtil::makeFifo(path + u"-journal"_s);
    }
    return false;
}

void TestHostileFiles::removePlaced(const QString &relative)
{
    const QString path = home->filePath(relative);
    for (const QString &suffix : {QString(), u"-wal"_s, u"-shm"_s, u"-journal"_s}) {
        const QFileInfo info(path + suffix);
        if (info.isDir() && !info.isSymLink()) {
            QDir(path + suffix).removeRecursively();
        } else {
            QFile::remove(path + suffix);
        }
    }
}

void TestHostileFiles::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(outside.isValid());
    home = std::make_unique<TestUtil::FakeHome>(u"hostile-home"_s);
    QVERIFY(home->isValid());
    runs = outside.filePath(u"runs.log"_s);
    const QString h = home->path();

    const QStringList folders{u"IdeaProjects/shop"_s,
        u"PycharmProjects/ml-lab"_s,
        u"RiderProjects/Game"_s,
        u"GolandProjects/api"_s,
        u"RustroverProjects/rusty"_s,
        u"src/app"_s,
        u"src/data"_s,
        u"src/lib"_s,
        u"src/cli"_s,
        u"src/web"_s,
        u"src/tools"_s,
        u"src/docs"_s,
        u"src/infra"_s,
        u"odd/line\nbreak"_s,
        u"odd/say \"hi\" 'there'"_s,
        u"odd/two  blanks\tand a tab"_s};
    for (const QString &folder : folders) {
        QVERIFY(home->mkpath(folder));
    }
    QVERIFY(home->write(u"RiderProjects/Game/Game.sln"_s, "Microsoft Visual Studio Solution File, Format Version 12.00\n"));
    // A folder whose name is not UTF-8.
    rawPaths.append(QFile::encodeName(h) + "/odd/caf\xe9");
    QVERIFY(::mkdir(rawPaths.constLast().constData(), 0755) == 0);

    // JetBrains: ordinary lists, among them paths that need escaping.
    QVERIFY(home->write(u".config/JetBrains/IntelliJIdea2024.1/options/recentProjects.xml"_s,
        recentProjectsXml({{"$USER_HOME$/IdeaProjects/shop", T0 + 9000},
            {"$USER_HOME$/odd/line&#10;break", T0 + 1000},
            {"$USER_HOME$/odd/say &quot;hi&quot; 'there'", T0 + 1100}})));
    QVERIFY(
        home->write(u".config/JetBrains/PyCharm2024.1/options/recentProjects.xml"_s, recentProjectsXml({{"$USER_HOME$/PycharmProjects/ml-lab", T0 + 8000}})));
    QVERIFY(home->write(
        u".config/JetBrains/Rider2024.1/options/recentProjects.xml"_s, recentProjectsXml({{"$USER_HOME$/RiderProjects/Game/Game.sln", T0 + 7000}})));
    // A huge file whose start is an ordinary list: what lies within the limit is read.
    const QByteArray golandHead = recentProjectsXml({{"$USER_HOME$/GolandProjects/api", T0 + 6000}}).chopped(40);
    golandHeadSize = golandHead.size();
    QVERIFY(TestUtil::writeSparseFile(home->filePath(golandList), golandHead, hugeSize));
    // A product folder whose name holds a newline and a blank.
    QVERIFY(home->write(
        u".config/JetBrains/RustRover2024.1\n copy/options/recentProjects.xml"_s, recentProjectsXml({{"$USER_HOME$/RustroverProjects/rusty", T0 + 5000}})));
    // An entry twenty thousand elements deep, in a file that never closes them.
    QVERIFY(home->write(u".config/JetBrains/DataGrip2024.1/options/recentProjects.xml"_s,
        "<application>" + QByteArray("<a>").repeated(20000) + recentProjectsXml({{"$USER_HOME$/src/data", T0 + 4500}})));
    // Product folders that are link loops: to their parent, to themselves, to each other.
    QVERIFY(TestUtil::makeLink(u"."_s, home->filePath(u".config/JetBrains/RubyMine2024.1"_s)));
    QVERIFY(TestUtil::makeLink(u"RubyMine2024.2"_s, home->filePath(u".config/JetBrains/RubyMine2024.2"_s)));
    QVERIFY(TestUtil::makeLink(u"CLion2024.2"_s, home->filePath(u".config/JetBrains/CLion2024.1"_s)));
    QVERIFY(TestUtil::makeLink(u"CLion2024.1"_s, home->filePath(u".config/JetBrains/CLion2024.2"_s)));
    // A product folder named in bytes that are not UTF-8.
    const QByteArray aqua = QFile::encodeName(home->filePath(u".config/JetBrains"_s)) + "/Aqua2024.1\xff";
    rawPaths << aqua << aqua + "/options" << aqua + "/options/recentProjects.xml";
    QVERIFY(::mkdir(aqua.constData(), 0755) == 0 && ::mkdir(QByteArray(aqua + "/options").constData(), 0755) == 0);
    QVERIFY(writeRaw(aqua + "/options/recentProjects.xml", recentProjectsXml({{"$USER_HOME$/src/cli", T0 + 9999}})));
    // Android Studio's options folder is a FIFO.
    QVERIFY(TestUtil::makeFifo(home->filePath(u".config/Google/AndroidStudio2024.1/options"_s)));

    // VS Code's own database is ordinary and lists paths that need encoding,
    // and some that cannot be opened.
    const QString codeDb = home->filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    const QString uh = u"file://"_s + encoded(h);
    QVERIFY(TestUtil::writeStateDb(codeDb,
        (u"{\"entries\":[{\"folderUri\":\""_s + uh + u"/src/app\"},{\"folderUri\":\""_s + uh + u"/"_s + encoded(u"odd/two  blanks\tand a tab"_s)
            + u"\"},{\"folderUri\":\""_s + uh + u"/"_s + encoded(u"odd/say \"hi\" 'there'"_s) + u"\"},{\"folderUri\":\""_s + uh
            + u"/odd/caf%E9\"},{\"folderUri\":\""_s + uh + u"/src/app%00/evil\"}]}"_s)
            .toUtf8()));
    QVERIFY(TestUtil::setModificationTime(codeDb, T0 + 4000));
    const QString codeStorage = u".config/Code/User/workspaceStorage/"_s;
    // Link loops in the workspace storage: to itself, to its parent, to the storage, and a pair.
    QVERIFY(TestUtil::makeLink(u"self"_s, home->filePath(codeStorage + u"self"_s)));
    QVERIFY(TestUtil::makeLink(u".."_s, home->filePath(codeStorage + u"parent"_s)));
    QVERIFY(TestUtil::makeLink(u"."_s, home->filePath(codeStorage + u"storage"_s)));
    QVERIFY(TestUtil::makeLink(u"pair-b"_s, home->filePath(codeStorage + u"pair-a"_s)));
    QVERIFY(TestUtil::makeLink(u"pair-a"_s, home->filePath(codeStorage + u"pair-b"_s)));
    // A workspace folder named with a newline and quotes, timed by a FIFO in
    // place of its database: only its time is taken.
    const QString oddStorage = codeStorage + u"ws\n\"quoted\" 'x'"_s;
    QVERIFY(home->write(oddStorage + u"/workspace.json"_s, workspaceJson(home->filePath(u"src/lib"_s))));
    QVERIFY(TestUtil::makeFifo(home->filePath(oddStorage + u"/state.vscdb"_s)));
    QVERIFY(TestUtil::setModificationTime(home->filePath(oddStorage + u"/state.vscdb"_s), T0 + 3000));
    // A workspace folder named in bytes that are not UTF-8.
    const QByteArray undecodable = QFile::encodeName(home->filePath(codeStorage)) + "ws\xfe";
    rawPaths << undecodable << undecodable + "/workspace.json";
    QVERIFY(::mkdir(undecodable.constData(), 0755) == 0);
    QVERIFY(writeRaw(undecodable + "/workspace.json", workspaceJson(home->filePath(u"src/cli"_s))));

    // Every other variant: hostile global state, one ordinary workspace.
    const QList<std::pair<QString, QString>> variants{
        {u"Code - Insiders"_s, u"src/web"_s}, {u"Code - OSS"_s, u"src/tools"_s}, {u"VSCodium"_s, u"src/docs"_s}, {u"Cursor"_s, u"src/infra"_s}};
    int n = 0;
    for (const auto &[configDir, folder] : variants) {
        const QString ws = u".config/"_s + configDir + u"/User/workspaceStorage/"_s + storageId(++n) + u"/workspace.json"_s;
        QVERIFY(home->write(ws, workspaceJson(home->filePath(folder)), T0 + 3000 - 100 * n));
    }
    QVERIFY(home->write(u".config/Code - OSS/User/globalStorage/state.vscdb"_s, garbage(8192, 1)));
    QVERIFY(home->write(u".config/Code - OSS/User/globalStorage/storage.json"_s, "{\"lastKnownMenubarData\":" + QByteArray(100000, '[')));
    QVERIFY(TestUtil::writeStateDb(home->filePath(u".config/VSCodium/User/globalStorage/state.vscdb"_s), "not JSON at all {"));
    QVERIFY(TestUtil::makeLink(u"/dev/zero"_s, home->filePath(u".config/VSCodium/User/globalStorage/storage.json"_s)));
    QVERIFY(home->mkpath(u".config/Cursor/User/globalStorage/state.vscdb"_s));
    QVERIFY(home->write(u".config/Cursor/User/globalStorage/storage.json"_s, garbage(4096, 2)));

    // How projects open: IntelliJ IDEA through its desktop entry, which sorts
    // after hostile ones; VS Code by its command. All log outside the home.
    const QString ideaScript = home->filePath(u"opt/idea/bin/idea.sh"_s);
    QVERIFY(TestUtil::writeRecordingProgram(ideaScript, runs));
    QVERIFY(home->write(u".local/share/applications/jetbrains-idea.desktop"_s,
        "[Desktop Entry]\nType=Application\nName=IntelliJ IDEA Ultimate\nExec=\"" + QFile::encodeName(ideaScript) + "\" %u\n"));
    QVERIFY(home->write(u".local/share/applications/jetbrains-idea-garbage.desktop"_s, garbage(4096, 3)));
    QVERIFY(TestUtil::makeFifo(home->filePath(u".local/share/applications/jetbrains-idea-fifo.desktop"_s)));
    QVERIFY(TestUtil::makeFifo(home->filePath(u"usr/share/applications/jetbrains-idea.desktop"_s)));
    QVERIFY(TestUtil::writeRecordingProgram(home->binDir() + u"/code"_s, runs));
    QVERIFY(TestUtil::writeRecordingProgram(home->binDir() + u"/xdg-open"_s, runs));

    QVERIFY2(service.start(), qPrintable(service.log()));
    servicePid = service.process.processId();

    // Newest first. The quoted folder that both families recorded is the VS
    // Code entry; the folders named in bytes that are not UTF-8 and the path
    // with a NUL in it are nowhere.
    everything = expand(
        u"{\"cont\":["
        "{\"group\":\"IntelliJ IDEA\",\"items\":["
        "{\"icon\":\"idea\",\"item\":\"000|$HOME/IdeaProjects/shop\",\"name\":\"shop ($HOME/IdeaProjects/shop)\",\"type\":\"ide/recent-project\"},"
        "{\"icon\":\"idea\",\"item\":\"014|$HOME/odd/line\\nbreak\",\"name\":\"line\\nbreak ($HOME/odd/line\\nbreak)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"PyCharm\",\"items\":["
        "{\"icon\":\"pycharm\",\"item\":\"001|$HOME/PycharmProjects/ml-lab\",\"name\":\"ml-lab "
        "($HOME/PycharmProjects/ml-lab)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"Rider\",\"items\":["
        "{\"icon\":\"rider\",\"item\":\"002|$HOME/RiderProjects/Game/Game.sln\",\"name\":\"Game "
        "($HOME/RiderProjects/Game/Game.sln)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"GoLand\",\"items\":["
        "{\"icon\":\"goland\",\"item\":\"003|$HOME/GolandProjects/api\",\"name\":\"api ($HOME/GolandProjects/api)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"RustRover\",\"items\":["
        "{\"icon\":\"rustrover\",\"item\":\"004|$HOME/RustroverProjects/rusty\",\"name\":\"rusty "
        "($HOME/RustroverProjects/rusty)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"DataGrip\",\"items\":["
        "{\"icon\":\"datagrip\",\"item\":\"005|$HOME/src/data\",\"name\":\"data ($HOME/src/data)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"VS Code\",\"items\":["
        "{\"icon\":\"code\",\"item\":\"006|$HOME/src/app\",\"name\":\"app ($HOME/src/app)\",\"type\":\"ide/recent-project\"},"
        "{\"icon\":\"code\",\"item\":\"007|$HOME/odd/two  blanks\\tand a tab\",\"name\":\"two  blanks\\tand a tab ($HOME/odd/two  blanks\\tand a tab)\","
        "\"type\":\"ide/recent-project\"},"
        "{\"icon\":\"code\",\"item\":\"008|$HOME/odd/say \\\"hi\\\" 'there'\",\"name\":\"say \\\"hi\\\" 'there' ($HOME/odd/say \\\"hi\\\" 'there')\","
        "\"type\":\"ide/recent-project\"},"
        "{\"icon\":\"code\",\"item\":\"009|$HOME/src/lib\",\"name\":\"lib ($HOME/src/lib)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"VS Code Insiders\",\"items\":["
        "{\"icon\":\"code-insiders\",\"item\":\"010|$HOME/src/web\",\"name\":\"web ($HOME/src/web)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"VS Code OSS\",\"items\":["
        "{\"icon\":\"code-oss\",\"item\":\"011|$HOME/src/tools\",\"name\":\"tools ($HOME/src/tools)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"VSCodium\",\"items\":["
        "{\"icon\":\"vscodium\",\"item\":\"012|$HOME/src/docs\",\"name\":\"docs ($HOME/src/docs)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"Cursor\",\"items\":["
        "{\"icon\":\"cursor\",\"item\":\"013|$HOME/src/infra\",\"name\":\"infra ($HOME/src/infra)\",\"type\":\"ide/recent-project\"}]}"
        "],\"mID\":\"m\",\"ver\":\"1.0\"}"_s);
}

void TestHostileFiles::cleanupTestCase()
{
    QVERIFY2(service.stop(), qPrintable(service.log()));
    for (auto it = rawPaths.crbegin(); it != rawPaths.crend(); ++it) {
        if (::unlink(it->constData()) != 0) {
            ::rmdir(it->constData());
        }
    }
    home.reset();
}

void TestHostileFiles::ordinaryProjectsBesideHostileFiles()
{
    // Every path lies under the home, so its folder's name matches them all.
    COMPARE_ANSWER(search(u"hostile-home"_s), everything);
    COMPARE_ANSWER(search(u"shop"_s),
        expand(u"{\"cont\":[{\"group\":\"IntelliJ IDEA\",\"items\":[{\"icon\":\"idea\",\"item\":\"000|$HOME/IdeaProjects/shop\","
               "\"name\":\"shop ($HOME/IdeaProjects/shop)\",\"type\":\"ide/recent-project\"}]}],\"mID\":\"m\",\"ver\":\"1.0\"}"_s));
    QCOMPARE(service.process.processId(), servicePid);

    // The huge list has shown that its start is read. From here on it is its
    // start alone, and the rows below put one huge file at a time elsewhere:
    // reading 64 MB for every search of every row would only slow them down.
    QVERIFY(QFile::resize(home->filePath(golandList), golandHeadSize));
    COMPARE_ANSWER(search(u"hostile-home"_s), everything);
}

void TestHostileFiles::hostileFileInPlace_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("kind");

    const QList<std::pair<const char *, QString>> places{
        {"the recent projects of a newer PyCharm", u".config/JetBrains/PyCharm2024.2/options/recentProjects.xml"_s},
        {"Rider's recent solutions", u".config/JetBrains/Rider2024.1/options/recentSolutions.xml"_s},
        {"storage.json", insidersUser + u"globalStorage/storage.json"_s},
        {"a workspace.json", insidersUser + u"workspaceStorage/"_s + storageId(99) + u"/workspace.json"_s},
        {"a variant's state database", insidersDb},
        {"the shared state database", sharedDb},
        {"the shortcut file", u".config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"_s},
        {"a desktop file of the IDE", u".local/share/applications/jetbrains-idea-0.desktop"_s},
    };
    const QList<std::pair<const char *, QString>> anywhere{
        {"a FIFO", u"fifo"_s},
        {"a link to /dev/zero", u"device"_s},
        {"a directory", u"directory"_s},
        {"a sparse file of 4 GiB", u"huge"_s},
        {"binary garbage", u"garbage"_s},
        {"a link to itself", u"loop"_s},
    };
    for (const auto &[where, place] : places) {
        for (const auto &[what, kind] : anywhere) {
            QTest::addRow("%s as %s", what, where) << place << kind;
        }
    }

    for (const auto &[where, place] : places.mid(0, 2)) {
        QTest::addRow("XML twenty thousand elements deep as %s", where) << place << u"deep xml"_s;
    }
    for (const auto &[where, place] : places.mid(2, 2)) {
        QTest::addRow("JSON nested a hundred thousand deep as %s", where) << place << u"deep json"_s;
        QTest::addRow("every JSON type in every member read from %s", where) << place << u"every json type"_s;
    }
    const QList<std::pair<const char *, QString>> databases{
        {"random pages after a database header", u"random pages"_s},
        {"a database whose recent list is not JSON", u"list not json"_s},
        {"a database whose recent list is nested a hundred thousand deep", u"deep list"_s},
        {"a database whose recent list holds every JSON type", u"list of every json type"_s},
        {"a WAL database beside a garbage -wal and -shm", u"wal with garbage companions"_s},
        {"a WAL database beside a crashed editor's -shm and a garbage -wal", u"crashed wal with garbage log"_s},
        {"a WAL database beside a FIFO -wal and -shm", u"wal with fifo companions"_s},
        {"a database beside a FIFO -journal", u"fifo journal"_s},
    };
    for (const auto &[where, place] : places.mid(4, 2)) {
        for (const auto &[what, kind] : databases) {
            QTest::addRow("%s as %s", what, where) << place << kind;
        }
    }
}

void TestHostileFiles::hostileFileInPlace()
{
    QFETCH(QString, place);
    QFETCH(QString, kind);
    QVERIFY(placeHostile(place, kind));
    const auto cleanup = qScopeGuard([&] {
        removePlaced(place);
    });

    COMPARE_ANSWER(search(u"hostile-home"_s), everything);

    // The project still opens through the IDE's own desktop entry.
    QFile::remove(runs);
    QCOMPARE(call(u"Action"_s, u"{\"action\":\"openitem\",\"item\":\"000|"_s + home->filePath(u"IdeaProjects/shop"_s) + u"\"}"_s), u"true"_s);
    QCOMPARE(TestUtil::settledText(runs, expand(u"idea.sh <$HOME/IdeaProjects/shop>\n"_s)), expand(u"idea.sh <$HOME/IdeaProjects/shop>\n"_s));
    QCOMPARE(service.process.processId(), servicePid);
}

void TestHostileFiles::oddPathsOpenAsRecorded_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("started");
    QTest::newRow("a JetBrains path with a newline") << u"odd/line\nbreak"_s << u"idea.sh"_s;
    QTest::newRow("a VS Code path with quotes") << u"odd/say \"hi\" 'there'"_s << u"code"_s;
    QTest::newRow("a VS Code path with blanks and a tab") << u"odd/two  blanks\tand a tab"_s << u"code"_s;
}

void TestHostileFiles::oddPathsOpenAsRecorded()
{
    QFETCH(QString, path);
    QFETCH(QString, started);
    const QString full = home->filePath(path);

    // The item as the search shows it, one argument to the program.
    const QJsonObject answer = QJsonDocument::fromJson(search(u"/odd/"_s).toUtf8()).object();
    QString item;
    for (const QJsonValue &group : answer.value(u"cont"_s).toArray()) {
        for (const QJsonValue &value : group[u"items"_s].toArray()) {
            if (value[u"item"_s].toString().endsWith(u'|' + full)) {
                item = value[u"item"_s].toString();
            }
        }
    }
    QVERIFY2(!item.isEmpty(), QJsonDocument(answer).toJson().constData());

    QFile::remove(runs);
    const QString action = QString::fromUtf8(QJsonDocument(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, item}}).toJson(QJsonDocument::Compact));
    QCOMPARE(call(u"Action"_s, action), u"true"_s);
    const QString expected = started + u" <"_s + full + u">\n"_s;
    QCOMPARE(TestUtil::settledText(runs, expected), expected);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
