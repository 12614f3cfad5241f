#include "testutil.h"

#include "sources/vscodeprojectsource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString vscodeCategory = u"org.velari.sorvex.orlek.vscode"_s;
constexpr qint64 T0 = 1700000000000;

const VscodeVariant &code()
{
    return vscodeVariants().at(0);
}

const VscodeVariant &codium()
{
    return vscodeVariants().at(3);
}

// Per-cent-encodes as the editors do: all but letters, digits and "-._~/", upper-case hex.
QString encoded(const QString &path)
{
    return QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

// Fixture texts name the home through placeholders: {h} is the home path, {uh}
// the same as it appears in a file URI.
QByteArray expand(const QString &text, const QString &home)
{
    QString result = text;
    result.replace(u"{uh}"_s, encoded(home));
    result.replace(u"{h}"_s, home);
    return result.toUtf8();
}

QByteArray expand(const QByteArray &text, const QString &home)
{
    return expand(QString::fromUtf8(text), home);
}

QString folderEntry(const QString &relative, const QString &more = QString())
{
    return u"{\"folderUri\":\"file://{uh}/"_s + encoded(relative) + u"\""_s + more + u"}"_s;
}

QString fileEntry(const QString &relative, const QString &more = QString())
{
    return u"{\"fileUri\":\"file://{uh}/"_s + encoded(relative) + u"\""_s + more + u"}"_s;
}

// The compact one-line text of history.recentlyOpenedPathsList.
QString recentList(const QStringList &entries)
{
    return u"{\"entries\":["_s + entries.join(u',') + u"]}"_s;
}

QJsonObject menuItem(const QString &id, const QString &relative, bool withExternal = true)
{
    QJsonObject uri{{u"$mid"_s, 1}, {u"path"_s, QString(u"{h}/"_s + relative)}, {u"scheme"_s, u"file"_s}};
    if (withExternal) {
        uri.insert(u"external"_s, QString(u"file://{uh}/"_s + encoded(relative)));
    }
    const QString label = u"~/"_s + relative + (id == u"openRecentWorkspace"_s ? u" (Workspace)"_s : QString());
    return {{u"id"_s, id}, {u"uri"_s, uri}, {u"enabled"_s, true}, {u"label"_s, label}};
}

// storage.json as the editors write it, four-space indent, the recent submenu in the File menu.
QString storageJson(const QJsonArray &recentItems, const QJsonObject &more = QJsonObject())
{
    const QJsonArray fileItems{
        QJsonObject{{u"id"_s, u"workbench.action.files.newUntitledFile"_s}, {u"label"_s, u"&&New Text File"_s}},
        QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}},
        QJsonObject{{u"id"_s, u"submenuitem.MenubarRecentMenu"_s}, {u"label"_s, u"Open &&Recent"_s}, {u"submenu"_s, QJsonObject{{u"items"_s, recentItems}}}},
        QJsonObject{{u"id"_s, u"workbench.action.files.save"_s}, {u"label"_s, u"&&Save"_s}},
    };
    const QJsonObject menus{
        {u"Edit"_s, QJsonObject{{u"items"_s, QJsonArray{QJsonObject{{u"id"_s, u"undo"_s}, {u"label"_s, u"&&Undo"_s}}}}}},
        {u"File"_s, QJsonObject{{u"items"_s, fileItems}}},
    };
    QJsonObject root{
        {u"telemetry.machineId"_s, u"5e1c0a8f3b2d4e6f8a9b0c1d2e3f4a5b6c7d8e9f0a1b2c3d4e5f6a7b8c9d0e1f"_s},
        {u"theme"_s, u"vs-dark"_s},
        {u"lastKnownMenubarData"_s, QJsonObject{{u"menus"_s, menus}, {u"keybindings"_s, QJsonObject()}}},
    };
    for (auto it = more.constBegin(); it != more.constEnd(); ++it) {
        root.insert(it.key(), it.value());
    }
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

using TestUtil::writeStateDb;

// The "-wal" of another database whose editor is running, copied to target:
// what a crash or a careless copy leaves beside a database.
bool copyRunningEditorsWal(const QString &target)
{
    QTemporaryDir dir;
    const QString other = dir.filePath(u"state.vscdb"_s);
    if (!writeStateDb(other, QByteArray("{\"entries\":[]}"), u"WAL"_s)) {
        return false;
    }
    const QString name = u"running-editor"_s;
    bool ok = false;
    {
        QSqlDatabase editor = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        editor.setDatabaseName(other);
        if (editor.open()) {
            QSqlQuery query(editor);
            ok = query.exec(u"PRAGMA wal_autocheckpoint = 0"_s) && query.exec(u"DELETE FROM ItemTable"_s) && QFile::copy(other + u"-wal"_s, target);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok && QFileInfo(target).size() > 0;
}

// workspace.json as the editors write it: two-space indent, no final newline.
QByteArray workspaceJson(const QString &member, const QString &uri)
{
    return "{\n  \"" + member.toUtf8() + "\": \"" + uri.toUtf8() + "\"\n}";
}

// A made-up workspace-storage directory name of 32 hex digits.
QString storageId(int n)
{
    return QStringLiteral("%1").arg(uint(n) * 2654435761u, 32, 16, QChar(u'0'));
}

QStringList pathsOf(const QList<ProjectEntry> &entries, const QString &home)
{
    QStringList result;
    for (const ProjectEntry &entry : entries) {
        result.append(QDir(home).relativeFilePath(entry.path));
    }
    return result;
}

// The projects most rows name: folders (one with a blank, one with letters
// beyond ASCII), a workspace file, a JSON file and a text file.
void makeProjects(const TestUtil::FakeHome &home)
{
    for (const QString &folder : {u"app"_s, u"lib"_s, u"tools"_s, u"my project"_s, u"Grüße проект"_s}) {
        home.mkpath(folder);
    }
    home.write(u"w/team.code-workspace"_s, "{\n\t\"folders\": [\n\t\t{\n\t\t\t\"path\": \"../app\"\n\t\t}\n\t]\n}");
    home.write(u"w/team.json"_s, "{}");
    home.write(u"notes.txt"_s, "todo\n");
}

// The VS Code user directory, without which nothing of the variant is read.
void makeUserDir(const TestUtil::FakeHome &home, const VscodeVariant &variant)
{
    home.mkpath(u".config/"_s + variant.configDir + u"/User/globalStorage"_s);
}
} // namespace

class TestVscodeProjectSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Runs first: it sees the process's first connections.
    void connectionNamesContinueAcrossCollections();

    void recentEntries_data();
    void recentEntries();
    void fileUrisAsQUrlReadsThem_data();
    void fileUrisAsQUrlReadsThem();
    void randomUrisAsQUrlReadsThem();
    void displayNamesAsQFileInfoGivesThem();
    void globalStateChoice_data();
    void globalStateChoice();
    void menubarItems();
    void brokenFilesLeaveLaterCollectionsWorking();
    void unopenableDatabaseWarns();

    void workspaceStorage_data();
    void workspaceStorage();
    void workspaceStorageNewestFirst();
    void globalStateThenWorkspaceStorageWithinLimits();

    void nothingWithoutUserDirectory_data();
    void nothingWithoutUserDirectory();

    void databaseReadWithoutWriting_data();
    void databaseReadWithoutWriting();
    void liveWalWriterIsReadFromItsLog();
    void lockedDatabaseDoesNotStallTheSearch();
    void fixtureHomeUntouchedAndVariantsInOrder();
};

void TestVscodeProjectSource::connectionNamesContinueAcrossCollections()
{
    TestUtil::FakeHome home;
    makeProjects(home);
    makeUserDir(home, code());
    // The shared database lists only a vanished folder, so both databases are opened.
    QVERIFY(writeStateDb(home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s), expand(recentList({folderEntry(u"gone"_s)}), home.path()), u"WAL"_s));
    QVERIFY(writeStateDb(home.filePath(u".config/Code/User/globalStorage/state.vscdb"_s), expand(recentList({folderEntry(u"app"_s)}), home.path())));

    // Connections of the test's own under the names the source is to use next:
    // Qt reports each name that is registered again.
    for (int n = 1; n <= 4; ++n) {
        QSqlDatabase::addDatabase(u"QSQLITE"_s, u"orlek-sqlite-"_s + QString::number(n));
    }
    const VscodeProjectSource source;
    for (const QStringList &expectedNames : {QStringList{u"orlek-sqlite-1"_s, u"orlek-sqlite-2"_s}, QStringList{u"orlek-sqlite-3"_s, u"orlek-sqlite-4"_s}}) {
        TestUtil::MessageRecorder recorder;
        const QList<ProjectEntry> entries = source.collectProjects();
        QCOMPARE(pathsOf(entries, home.path()), QStringList{u"app"_s});

        QStringList registered;
        for (const auto &message : recorder.messages()) {
            QVERIFY2(!message.text.contains(u"still in use"_s), qPrintable(message.text));
            if (message.text.startsWith(u"QSqlDatabasePrivate::addDatabase: duplicate connection name"_s)) {
                registered.append(message.text.section(u'\'', 1, 1));
            }
        }
        QCOMPARE(registered, expectedNames);
        for (const QString &name : expectedNames) {
            QVERIFY2(!QSqlDatabase::contains(name), qPrintable(name));
        }
    }
    QCOMPARE(QSqlDatabase::connectionNames().filter(u"orlek-sqlite-"_s), QStringList());
}

void TestVscodeProjectSource::recentEntries_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("names");

    const QString team = u"w/team.code-workspace"_s;
    QTest::newRow("a folder URI gives the folder") << recentList({folderEntry(u"app"_s)}) << QStringList{u"app"_s} << QStringList{u"app"_s};
    QTest::newRow("per-cent-encoded blanks are decoded")
        << recentList({folderEntry(u"my project"_s)}) << QStringList{u"my project"_s} << QStringList{u"my project"_s};
    QTest::newRow("per-cent-encoded letters beyond ASCII are decoded")
        << recentList({folderEntry(u"Grüße проект"_s)}) << QStringList{u"Grüße проект"_s} << QStringList{u"Grüße проект"_s};
    QTest::newRow("a workspace file is named without its suffix") << recentList({fileEntry(team)}) << QStringList{team} << QStringList{u"team"_s};
    QTest::newRow("an ordinary file is skipped") << recentList({fileEntry(u"notes.txt"_s), fileEntry(u"w/team.json"_s)}) << QStringList() << QStringList();
    QTest::newRow("an entry holding only a workspace object is skipped")
        << recentList({u"{\"workspace\":{\"id\":\"1c5a7f0e2b9d4c3a8e6f1d2b3c4a5e6f\",\"configPath\":\"file://{uh}/w/team.code-workspace\"}}"_s})
        << QStringList() << QStringList();
    QTest::newRow("remote folders are skipped") << recentList(
        {u"{\"folderUri\":\"vscode-remote://ssh-remote%2Bhost{uh}/app\",\"remoteAuthority\":\"ssh-remote+host\"}"_s,
            u"{\"folderUri\":\"vscode-remote://wsl%2BUbuntu{uh}/lib\",\"label\":\"lib [WSL: Ubuntu]\",\"remoteAuthority\":\"wsl+Ubuntu\"}"_s})
                                                << QStringList() << QStringList();
    QTest::newRow("a vanished folder is skipped") << recentList({folderEntry(u"gone"_s), folderEntry(u"lib"_s)}) << QStringList{u"lib"_s}
                                                  << QStringList{u"lib"_s};
    QTest::newRow("a label of blanks is ignored") << recentList({folderEntry(u"app"_s, u",\"label\":\"   \""_s)}) << QStringList{u"app"_s}
                                                  << QStringList{u"app"_s};
    QTest::newRow("a label replaces the derived name, trimmed")
        << recentList({fileEntry(team, u",\"label\":\" Team \\u00c9quipe \""_s)}) << QStringList{team} << QStringList{u"Team Équipe"_s};
    QTest::newRow("fileUri is read when folderUri is empty")
        << recentList({u"{\"folderUri\":\"\",\"fileUri\":\"file://{uh}/w/team.code-workspace\"}"_s}) << QStringList{team} << QStringList{u"team"_s};
    QTest::newRow("a member of another type counts as empty")
        << recentList({u"{\"folderUri\":42,\"fileUri\":[],\"uri\":\"file://{uh}/app\"}"_s}) << QStringList{u"app"_s} << QStringList{u"app"_s};
    QTest::newRow("order and repeated paths are kept, other elements skipped")
        << recentList({folderEntry(u"lib"_s), u"\"file://{uh}/tools\""_s, u"null"_s, folderEntry(u"app"_s), folderEntry(u"lib"_s)})
        << QStringList{u"lib"_s, u"app"_s, u"lib"_s} << QStringList{u"lib"_s, u"app"_s, u"lib"_s};
    QTest::newRow("a per-cent-encoded NUL that would cut the path short to an existing folder is skipped")
        << recentList({u"{\"folderUri\":\"file://{uh}/app%00/gone\"}"_s}) << QStringList() << QStringList();
    QTest::newRow("a path ending in a slash gives an empty name")
        << recentList({u"{\"folderUri\":\"file://{uh}/app/\"}"_s}) << QStringList{u"app"_s} << QStringList{QString()};
    // The service's working folder is no place an editor recorded.
    QTest::newRow("file URIs with relative paths are skipped") << recentList(
        {u"{\"folderUri\":\"file:.\"}"_s, u"{\"folderUri\":\"file:app\"}"_s, u"{\"fileUri\":\"file:w/team.code-workspace\"}"_s, folderEntry(u"lib"_s)})
                                                               << QStringList{u"lib"_s} << QStringList{u"lib"_s};
}

void TestVscodeProjectSource::recentEntries()
{
    QFETCH(QString, list);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, names);

    TestUtil::FakeHome home;
    makeProjects(home);
    const TestUtil::WorkingFolder inHome(home.path());
    const QJsonArray entries = QJsonDocument::fromJson(expand(list, home.path())).object().value(u"entries"_s).toArray();
    QVERIFY(!entries.isEmpty());

    const QList<ProjectEntry> result = VscodeProjectSource::readRecentEntries(entries, codium(), T0 + 7);
    QCOMPARE(pathsOf(result, home.path()), paths);
    QStringList resultNames;
    for (const ProjectEntry &entry : result) {
        resultNames.append(entry.name);
        QCOMPARE(entry.id, entry.path);
        QCOMPARE(entry.icon, u"vscodium"_s);
        QCOMPARE(entry.sourceId, u"vscode"_s);
        QCOMPARE(entry.ideName, u"VSCodium"_s);
        QCOMPARE(entry.ideKey, u"codium"_s);
        QCOMPARE(entry.lastOpened, T0 + 7);
    }
    QCOMPARE(resultNames, names);
}

void TestVscodeProjectSource::fileUrisAsQUrlReadsThem_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("path");

    QTest::newRow("a plain path") << u"file:///home/me/dev/app-1_x.y~z"_s << u"/home/me/dev/app-1_x.y~z"_s;
    QTest::newRow("characters a path keeps as they are") << u"file:///a!$&'()*+,;=:@b"_s << u"/a!$&'()*+,;=:@b"_s;
    QTest::newRow("per-cent-encoded blanks and signs") << u"file:///my%20project%2Fx%25%3F%23"_s << u"/my project/x%?#"_s;
    QTest::newRow("lower-case hexadecimal digits") << u"file:///a%2fb%7e"_s << u"/a/b~"_s;
    QTest::newRow("letters beyond ASCII") << u"file:///Gr%C3%BC%C3%9Fe"_s << u"/Grüße"_s;
    QTest::newRow("bytes that are no UTF-8") << u"file:///a%FFb"_s << u"/a\uFFFDb"_s;
    QTest::newRow("a stray per-cent sign") << u"file:///a%zz%2"_s << u"/a%zz%2"_s;
    QTest::newRow("a blank as it is") << u"file:///a b"_s << u"/a b"_s;
    QTest::newRow("a query and a fragment are cut off") << u"file:///a?b#c"_s << u"/a"_s;
    QTest::newRow("dot segments stay") << u"file:///a/./b/../c"_s << u"/a/./b/../c"_s;
    QTest::newRow("a slash behind stays") << u"file:///a/b/"_s << u"/a/b/"_s;
    QTest::newRow("the root") << u"file:///"_s << u"/"_s;
    QTest::newRow("a host") << u"file://localhost/a"_s << u"//localhost/a"_s;
    QTest::newRow("four slashes") << u"file:////a"_s << u"//a"_s;
    QTest::newRow("no authority") << u"file:/a"_s << u"/a"_s;
    QTest::newRow("the scheme in capitals") << u"FILE:///a"_s << u"/a"_s;
    QTest::newRow("another scheme") << u"vscode-remote://ssh-remote%2Bhost/home/me/app"_s << QString();
    QTest::newRow("no scheme") << u"/home/me/app"_s << QString();
    QTest::newRow("nothing") << QString() << QString();
}

void TestVscodeProjectSource::fileUrisAsQUrlReadsThem()
{
    QFETCH(QString, uri);
    QFETCH(QString, path);

    QCOMPARE(localPathOfFileUri(uri), path);
}

// Whatever the text, the path is the one QUrl gives.
void TestVscodeProjectSource::randomUrisAsQUrlReadsThem()
{
    const QStringList beginnings{
        u"file:///"_s, u"file:///home/me/"_s, u"file://"_s, u"file:"_s, u"FILE:///"_s, u"file:////"_s, u"file://host/"_s, u"vscode-remote://x/"_s};
    const QStringList pieces{u"a"_s,
        u"Z"_s,
        u"9"_s,
        u"-"_s,
        u"."_s,
        u"_"_s,
        u"~"_s,
        u"/"_s,
        u"!"_s,
        u"'"_s,
        u"("_s,
        u"="_s,
        u":"_s,
        u"@"_s,
        u"%"_s,
        u"%20"_s,
        u"%2F"_s,
        u"%2f"_s,
        u"%25"_s,
        u"%3F"_s,
        u"%23"_s,
        u"%00"_s,
        u"%1F"_s,
        u"%7E"_s,
        u"%7F"_s,
        u"%80"_s,
        u"%C3%A9"_s,
        u"%FF"_s,
        u"%2"_s,
        u"%zz"_s,
        u"%g0"_s,
        u" "_s,
        u"#"_s,
        u"?"_s,
        u"["_s,
        u"]"_s,
        u"\\"_s,
        u"^"_s,
        u"|"_s,
        u"\""_s,
        u"<"_s,
        u"{"_s,
        u"é"_s,
        u"\u00A0"_s,
        u"\t"_s,
        u"\n"_s};
    QRandomGenerator random(42);
    for (int i = 0; i < 20000; ++i) {
        QString uri = beginnings.at(random.bounded(int(beginnings.size())));
        for (int n = random.bounded(12); n > 0; --n) {
            uri += pieces.at(random.bounded(int(pieces.size())));
        }
        const QUrl url(uri, QUrl::TolerantMode);
        // Relative local paths are refused on top of what QUrl reads.
        const QString local = url.scheme() == u"file"_s ? url.toLocalFile() : QString();
        const QString expected = local.startsWith(u'/') ? local : QString();
        QVERIFY2(localPathOfFileUri(uri) == expected, qPrintable(uri));
    }
}

// Without a label, a name is what QFileInfo tells of the path, whatever it is.
void TestVscodeProjectSource::displayNamesAsQFileInfoGivesThem()
{
    const QStringList pieces{u"a"_s, u"."_s, u".."_s, u"/"_s, u"//"_s, u"code-workspace"_s, u".code-workspace"_s, u"b.c"_s, u" "_s, u"é"_s, u"\\"_s};
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        QString path;
        for (int n = random.bounded(8); n > 0; --n) {
            path += pieces.at(random.bounded(int(pieces.size())));
        }
        const QFileInfo info(path);
        const QString expected = info.suffix() == u"code-workspace"_s ? info.completeBaseName() : info.fileName();
        QVERIFY2(entryDisplayName(path, QString()) == expected, qPrintable(path));
        QVERIFY2(entryDisplayName(path, u" label "_s) == u"label"_s, qPrintable(path));
    }
}

void TestVscodeProjectSource::globalStateChoice_data()
{
    // Databases: a null text is no file, "<random bytes>" a corrupt file,
    // "<no recent list>" a database without the key. Storage: a null text is no file.
    QTest::addColumn<QString>("shared");
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("storage");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("supplier");

    const QString menubar = storageJson({menuItem(u"openRecentFolder"_s, u"tools"_s),
        menuItem(u"openRecentWorkspace"_s, u"w/team.code-workspace"_s),
        menuItem(u"openRecentFile"_s, u"notes.txt"_s)});
    const QString onlyVanished = recentList({folderEntry(u"gone"_s), fileEntry(u"w/gone.code-workspace"_s)});
    const QJsonObject legacyObject{
        {u"openedPathsList"_s, QJsonObject{{u"entries"_s, QJsonArray{QJsonObject{{u"folderUri"_s, u"file://{uh}/lib"_s}, {u"label"_s, u"Library"_s}}}}}}};
    const QJsonObject legacyArray{{u"openedPathsList"_s, QJsonArray{QJsonObject{{u"folderUri"_s, u"file://{uh}/app"_s}}}}};
    const QJsonArray onlyFiles{menuItem(u"openRecentFile"_s, u"notes.txt"_s)};

    QTest::newRow("the shared database is preferred for VS Code")
        << recentList({folderEntry(u"app"_s), fileEntry(u"w/team.code-workspace"_s)}) << recentList({folderEntry(u"lib"_s)}) << menubar
        << QStringList{u"app"_s, u"w/team.code-workspace"_s} << u"shared"_s;
    QTest::newRow("the own database is read when the shared one lists only vanished paths")
        << onlyVanished << recentList({folderEntry(u"lib"_s)}) << menubar << QStringList{u"lib"_s} << u"own"_s;
    QTest::newRow("the own database is read when there is no shared one")
        << QString() << recentList({folderEntry(u"lib"_s)}) << menubar << QStringList{u"lib"_s} << u"own"_s;
    QTest::newRow("a corrupt shared database is passed over")
        << u"<random bytes>"_s << recentList({folderEntry(u"lib"_s)}) << menubar << QStringList{u"lib"_s} << u"own"_s;
    QTest::newRow("databases listing only vanished paths count as empty")
        << onlyVanished << onlyVanished << menubar << QStringList{u"tools"_s, u"w/team.code-workspace"_s} << u"menubar"_s;
    QTest::newRow("a database without the recent list falls back to the menu bar")
        << u"<no recent list>"_s << u"<no recent list>"_s << menubar << QStringList{u"tools"_s, u"w/team.code-workspace"_s} << u"menubar"_s;
    QTest::newRow("a recent list that is not JSON counts as empty")
        << QString() << u"{\"entries\":["_s << menubar << QStringList{u"tools"_s, u"w/team.code-workspace"_s} << u"menubar"_s;
    QTest::newRow("the legacy list in object form follows a menu bar without folders")
        << QString() << QString() << storageJson(onlyFiles, legacyObject) << QStringList{u"lib"_s} << u"legacy"_s;
    QTest::newRow("the legacy list in array form") << QString() << u"<random bytes>"_s << storageJson(QJsonArray(), legacyArray) << QStringList{u"app"_s}
                                                   << u"legacy"_s;
    QTest::newRow("a legacy list of another shape gives nothing")
        << QString() << QString() << storageJson(onlyFiles, {{u"openedPathsList"_s, u"file://{uh}/app"_s}}) << QStringList() << QString();
    QTest::newRow("no files give nothing") << QString() << QString() << QString() << QStringList() << QString();
}

void TestVscodeProjectSource::globalStateChoice()
{
    QFETCH(QString, shared);
    QFETCH(QString, own);
    QFETCH(QString, storage);
    QFETCH(QStringList, paths);
    QFETCH(QString, supplier);

    TestUtil::FakeHome home;
    makeProjects(home);
    makeUserDir(home, code());
    const QString sharedPath = home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s);
    const QString ownPath = home.filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    const QString storagePath = home.filePath(u".config/Code/User/globalStorage/storage.json"_s);
    const auto writeDb = [&](const QString &path, const QString &contents, const QString &journalMode, qint64 time) {
        if (contents.isNull()) {
            return true;
        }
        if (contents == u"<random bytes>"_s) {
            QByteArray bytes(8192, '\0');
            QRandomGenerator generator(42);
            generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            return TestUtil::writeFile(path, bytes, time);
        }
        return writeStateDb(path, contents == u"<no recent list>"_s ? QByteArray() : expand(contents, home.path()), journalMode)
            && TestUtil::setModificationTime(path, time);
    };
    QVERIFY(writeDb(sharedPath, shared, u"WAL"_s, T0 + 1000));
    QVERIFY(writeDb(ownPath, own, u"DELETE"_s, T0 + 2000));
    if (!storage.isNull()) {
        QVERIFY(TestUtil::writeFile(storagePath, expand(storage, home.path()), T0 + 3000));
    }

    TestUtil::MessageRecorder recorder;
    const QList<ProjectEntry> entries = VscodeProjectSource::collectVariant(code());
    QCOMPARE(pathsOf(entries, home.path()), paths);

    const QString count = QString::number(paths.size());
    QStringList debug;
    if (supplier == u"shared"_s || supplier == u"own"_s) {
        const QString db = supplier == u"shared"_s ? sharedPath : ownPath;
        debug.append(u"\"Code\" : using state.vscdb history ( \""_s + db + u"\" ), "_s + count + u" items"_s);
    } else if (supplier == u"menubar"_s) {
        debug.append(u"\"Code\" : using menubar recent list, "_s + count + u" items"_s);
    } else if (supplier == u"legacy"_s) {
        debug.append(u"\"Code\" : using legacy openedPathsList"_s);
    }
    QCOMPARE(recorder.texts(vscodeCategory, QtDebugMsg), debug);
    QCOMPARE(recorder.texts(vscodeCategory, QtWarningMsg), QStringList());

    // Every entry carries the time of the file its list came from.
    const qint64 time = supplier == u"shared"_s ? T0 + 1000 : supplier == u"own"_s ? T0 + 2000 : T0 + 3000;
    for (const ProjectEntry &entry : entries) {
        QCOMPARE(entry.lastOpened, time);
    }
}

void TestVscodeProjectSource::menubarItems()
{
    TestUtil::FakeHome home;
    makeProjects(home);
    QJsonObject onlyExternal = menuItem(u"openRecentFolder"_s, u"my project"_s);
    QJsonObject uri = onlyExternal.value(u"uri"_s).toObject();
    uri.insert(u"path"_s, QString());
    onlyExternal.insert(u"uri"_s, uri);
    const QJsonArray items{
        menuItem(u"openRecentFolder"_s, u"app"_s, false),
        onlyExternal,
        QJsonObject{{u"id"_s, u"openRecentFolder"_s}, {u"label"_s, u"{h}/lib"_s}},
        QJsonObject{{u"id"_s, u"openRecentFolder"_s}, {u"label"_s, u"~/tools"_s}},
        menuItem(u"openRecentFolder"_s, u"notes.txt"_s),
        menuItem(u"openRecentFolder"_s, u"gone"_s),
        menuItem(u"openRecentWorkspace"_s, u"w/team.code-workspace"_s),
        menuItem(u"openRecentWorkspace"_s, u"w/team.json"_s),
        menuItem(u"openRecentWorkspace"_s, u"w"_s),
        menuItem(u"openRecentFile"_s, u"notes.txt"_s),
        QJsonObject{{u"id"_s, u"vscode.menubar.separator"_s}},
        QJsonObject{{u"id"_s, u"workbench.action.clearRecentFiles"_s}, {u"label"_s, u"&&Clear Recently Opened..."_s}},
    };
    const QString storagePath = home.filePath(u"storage.json"_s);
    QVERIFY(TestUtil::writeFile(storagePath, expand(storageJson(items), home.path()), T0 + 11));

    const QList<ProjectEntry> entries = VscodeProjectSource::readMenubarRecent(storagePath, code());
    // A workspace item needs a regular file, whatever its suffix.
    QCOMPARE(pathsOf(entries, home.path()), (QStringList{u"app"_s, u"my project"_s, u"lib"_s, u"w/team.code-workspace"_s, u"w/team.json"_s}));
    QStringList names;
    for (const ProjectEntry &entry : entries) {
        names.append(entry.name);
        QCOMPARE(entry.lastOpened, T0 + 11);
        QCOMPARE(entry.ideKey, u"code"_s);
    }
    // The items' labels never name an entry.
    QCOMPARE(names, (QStringList{u"app"_s, u"my project"_s, u"lib"_s, u"team"_s, u"team.json"_s}));

    QVERIFY(TestUtil::writeFile(storagePath, "{\n    \"lastKnownMenubarData\": {"));
    TestUtil::MessageRecorder recorder;
    QCOMPARE(VscodeProjectSource::readMenubarRecent(storagePath, code()).size(), 0);
    QCOMPARE(VscodeProjectSource::readMenubarRecent(home.filePath(u"missing.json"_s), code()).size(), 0);
    QCOMPARE(recorder.messages().size(), 0);
}

void TestVscodeProjectSource::brokenFilesLeaveLaterCollectionsWorking()
{
    TestUtil::FakeHome home;
    makeProjects(home);
    makeUserDir(home, code());
    makeUserDir(home, vscodeVariants().at(4));
    const QString codeStorage = home.filePath(u".config/Code/User/globalStorage/storage.json"_s);
    const QString cursorStorage = home.filePath(u".config/Cursor/User/globalStorage/storage.json"_s);
    QByteArray noise(4096, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(home.write(u".config/Code/User/globalStorage/state.vscdb"_s, noise));
    QVERIFY(TestUtil::writeFile(codeStorage, "{\n    \"theme\": \"vs-dark\",\n"));
    QVERIFY(TestUtil::writeFile(cursorStorage, "\xef\xbb\xbf{]"));

    const VscodeProjectSource source;
    for (int collection = 0; collection < 2; ++collection) {
        TestUtil::MessageRecorder recorder;
        QCOMPARE(source.collectProjects().size(), 0);
        const QStringList warnings = recorder.texts(vscodeCategory, QtWarningMsg);
        QCOMPARE(warnings.size(), 2);
        QVERIFY2(warnings.at(0).startsWith(u"Failed to parse \""_s + codeStorage + u"\" : \""_s), qPrintable(warnings.at(0)));
        QVERIFY2(warnings.at(1).startsWith(u"Failed to parse \""_s + cursorStorage + u"\" : \""_s), qPrintable(warnings.at(1)));
    }

    // Once the editor has rewritten its files, the next collection reads them.
    QVERIFY(QFile::remove(home.filePath(u".config/Code/User/globalStorage/state.vscdb"_s)));
    QVERIFY(writeStateDb(home.filePath(u".config/Code/User/globalStorage/state.vscdb"_s), expand(recentList({folderEntry(u"app"_s)}), home.path())));
    QVERIFY(TestUtil::writeFile(cursorStorage, expand(storageJson({menuItem(u"openRecentFolder"_s, u"lib"_s)}), home.path())));
    TestUtil::MessageRecorder recorder;
    QCOMPARE(pathsOf(source.collectProjects(), home.path()), (QStringList{u"app"_s, u"lib"_s}));
    QCOMPARE(recorder.texts(vscodeCategory, QtWarningMsg), QStringList());
}

void TestVscodeProjectSource::unopenableDatabaseWarns()
{
    // SQLite opens no path longer than 512 bytes; the file itself is fine.
    const QString longName = QString(200, u'h');
    TestUtil::FakeHome home(longName + u'/' + longName + u'/' + longName);
    makeProjects(home);
    makeUserDir(home, code());
    const QString sharedPath = home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s);
    // Made where SQLite can reach it, then moved into place.
    QTemporaryDir shortDir;
    QVERIFY(writeStateDb(shortDir.filePath(u"state.vscdb"_s), expand(recentList({folderEntry(u"app"_s)}), home.path())));
    QVERIFY(home.mkpath(u".vscode-shared/sharedStorage"_s));
    QVERIFY(QFile::copy(shortDir.filePath(u"state.vscdb"_s), sharedPath));
    QVERIFY(home.write(u".config/Code/User/globalStorage/storage.json"_s, expand(storageJson({menuItem(u"openRecentFolder"_s, u"lib"_s)}), home.path())));

    TestUtil::MessageRecorder recorder;
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), QStringList{u"lib"_s});
    const QStringList warnings = recorder.texts(vscodeCategory, QtWarningMsg);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.at(0).startsWith(u"Failed to open state db \""_s + sharedPath + u"\" : \""_s), qPrintable(warnings.at(0)));
    for (const auto &message : recorder.messages()) {
        QVERIFY2(!message.text.contains(u"still in use"_s), qPrintable(message.text));
    }
}

void TestVscodeProjectSource::workspaceStorage_data()
{
    QTest::addColumn<QString>("workspaceJson");
    QTest::addColumn<bool>("withStateDb");
    QTest::addColumn<QString>("path");

    const QString team = u"w/team.code-workspace"_s;
    QTest::newRow("a folder is timed by workspace.json without state.vscdb")
        << QString::fromUtf8(workspaceJson(u"folder"_s, u"file://{uh}/app"_s)) << false << u"app"_s;
    QTest::newRow("state.vscdb times the entry though workspace.json is newer")
        << QString::fromUtf8(workspaceJson(u"folder"_s, u"file://{uh}/my%20project"_s)) << true << u"my project"_s;
    QTest::newRow("a workspace file") << QString::fromUtf8(workspaceJson(u"workspace"_s, u"file://{uh}/w/team.code-workspace"_s)) << true << team;
    QTest::newRow("folder wins over workspace") << u"{\n  \"folder\": \"file://{uh}/lib\",\n  \"workspace\": \"file://{uh}/w/team.code-workspace\"\n}"_s
                                                << false << u"lib"_s;
    QTest::newRow("an empty folder leaves the workspace")
        << u"{\n  \"folder\": \"\",\n  \"workspace\": \"file://{uh}/w/team.code-workspace\"\n}"_s << false << team;
    QTest::newRow("a workspace not ending in code-workspace is rejected")
        << QString::fromUtf8(workspaceJson(u"workspace"_s, u"file://{uh}/w/team.json"_s)) << true << QString();
    QTest::newRow("a workspace naming a folder is rejected") << QString::fromUtf8(workspaceJson(u"workspace"_s, u"file://{uh}/w"_s)) << false << QString();
    QTest::newRow("a folder naming a file is rejected") << QString::fromUtf8(workspaceJson(u"folder"_s, u"file://{uh}/notes.txt"_s)) << false << QString();
    QTest::newRow("a deleted folder is skipped") << QString::fromUtf8(workspaceJson(u"folder"_s, u"file://{uh}/gone"_s)) << true << QString();
    QTest::newRow("a remote folder is skipped") << QString::fromUtf8(workspaceJson(u"folder"_s, u"vscode-remote://ssh-remote%2Bhost{uh}/app"_s)) << true
                                                << QString();
    QTest::newRow("malformed workspace.json is skipped") << u"{\n  \"folder\": \"file://{uh}/app\""_s << true << QString();
    QTest::newRow("a folder with a relative path is skipped") << QString::fromUtf8(workspaceJson(u"folder"_s, u"file:."_s)) << false << QString();
    QTest::newRow("a workspace with a relative path is skipped")
        << QString::fromUtf8(workspaceJson(u"workspace"_s, u"file:w/team.code-workspace"_s)) << false << QString();
}

void TestVscodeProjectSource::workspaceStorage()
{
    QFETCH(QString, workspaceJson);
    QFETCH(bool, withStateDb);
    QFETCH(QString, path);

    TestUtil::FakeHome home;
    makeProjects(home);
    const TestUtil::WorkingFolder inHome(home.path());
    const QString dir = u".config/Code/User/workspaceStorage/"_s + storageId(1);
    QVERIFY(home.write(dir + u"/workspace.json"_s, expand(workspaceJson, home.path()), T0 + 5000));
    if (withStateDb) {
        QVERIFY(writeStateDb(home.filePath(dir + u"/state.vscdb"_s), QByteArray()));
        QVERIFY(TestUtil::setModificationTime(home.filePath(dir + u"/state.vscdb"_s), T0 + 1000));
    }

    const QList<ProjectEntry> entries = VscodeProjectSource::scanWorkspaceStorage(home.filePath(u".config/Code"_s), codium());
    QCOMPARE(pathsOf(entries, home.path()), path.isEmpty() ? QStringList() : QStringList{path});
    if (!path.isEmpty()) {
        const ProjectEntry &entry = entries.at(0);
        QCOMPARE(entry.lastOpened, withStateDb ? T0 + 1000 : T0 + 5000);
        QCOMPARE(entry.name, entryDisplayName(entry.path, QString()));
        QCOMPARE(entry.id, entry.path);
        QCOMPARE(entry.icon, u"vscodium"_s);
        QCOMPARE(entry.ideName, u"VSCodium"_s);
        QCOMPARE(entry.sourceId, u"vscode"_s);
    }
}

void TestVscodeProjectSource::workspaceStorageNewestFirst()
{
    TestUtil::FakeHome home;
    makeProjects(home);
    const QString storage = u".config/Code/User/workspaceStorage/"_s;
    const QList<std::pair<QString, qint64>> dirs{{u"app"_s, T0 + 100}, {u"lib"_s, T0 + 300}, {u"tools"_s, T0 + 200}, {u"app"_s, T0 + 50}};
    for (int i = 0; i < dirs.size(); ++i) {
        QVERIFY(home.write(storage + storageId(i) + u"/workspace.json"_s,
            workspaceJson(u"folder"_s, u"file://"_s + encoded(home.filePath(dirs.at(i).first))),
            dirs.at(i).second));
    }
    // Neither a hidden directory nor a plain file is a workspace's storage.
    QVERIFY(home.write(storage + u".trash/workspace.json"_s, workspaceJson(u"folder"_s, u"file://"_s + encoded(home.filePath(u"my project"_s))), T0 + 900));
    QVERIFY(home.write(storage + storageId(9), workspaceJson(u"folder"_s, u"file://"_s + encoded(home.filePath(u"my project"_s))), T0 + 900));
    // A link to a directory counts as one.
    QVERIFY(
        home.write(u"elsewhere/workspace.json"_s, workspaceJson(u"workspace"_s, u"file://"_s + encoded(home.filePath(u"w/team.code-workspace"_s))), T0 + 400));
    QVERIFY(QFile::link(home.filePath(u"elsewhere"_s), home.filePath(storage + storageId(8))));
    // A link to a device is none.
    QVERIFY(QFile::link(u"/dev/null"_s, home.filePath(storage + storageId(7))));

    const QList<ProjectEntry> entries = VscodeProjectSource::scanWorkspaceStorage(home.filePath(u".config/Code"_s), code());
    // Repeated folders stay: the merge removes them.
    QCOMPARE(pathsOf(entries, home.path()), (QStringList{u"w/team.code-workspace"_s, u"lib"_s, u"tools"_s, u"app"_s, u"app"_s}));
    QCOMPARE(entries.at(0).name, u"team"_s);
    QCOMPARE(entries.at(1).lastOpened, T0 + 300);
}

void TestVscodeProjectSource::globalStateThenWorkspaceStorageWithinLimits()
{
    TestUtil::FakeHome home;
    makeUserDir(home, code());
    QStringList listed;
    for (int i = 0; i < 25; ++i) {
        const QString name = u"p%1"_s.arg(i, 2, 10, QChar(u'0'));
        home.mkpath(name);
        listed.append(folderEntry(name));
        // Vanished folders between them do not count against the limit.
        listed.append(folderEntry(name + u"-gone"_s));
    }
    listed.insert(1, folderEntry(u"p00"_s));
    const QString ownDb = home.filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    QVERIFY(writeStateDb(ownDb, expand(recentList(listed), home.path())));
    QVERIFY(TestUtil::setModificationTime(ownDb, T0));

    // Workspace storage knows q00-q39, then p00-p04 (listed already) and
    // p20-p24 (cut from the global list), one millisecond apart, newest last.
    QStringList stored;
    for (int i = 0; i < 40; ++i) {
        stored.append(u"q%1"_s.arg(i, 2, 10, QChar(u'0')));
    }
    for (int i = 0; i < 5; ++i) {
        stored.append(u"p%1"_s.arg(i, 2, 10, QChar(u'0')));
        stored.append(u"p%1"_s.arg(20 + i, 2, 10, QChar(u'0')));
    }
    for (int i = 0; i < stored.size(); ++i) {
        home.mkpath(stored.at(i));
        QVERIFY(home.write(u".config/Code/User/workspaceStorage/"_s + storageId(i) + u"/workspace.json"_s,
            workspaceJson(u"folder"_s, u"file://"_s + encoded(home.filePath(stored.at(i)))),
            T0 - 10000 + i));
    }

    TestUtil::MessageRecorder recorder;
    const QList<ProjectEntry> entries = VscodeProjectSource::collectVariant(code());
    QCOMPARE(entries.size(), VscodeProjectSource::MAX_PROJECTS_PER_VARIANT);
    // 26 usable entries, p00 twice: the first 20, repeats and all.
    QStringList expected{u"p00"_s, u"p00"_s};
    for (int i = 1; i < 19; ++i) {
        expected.append(u"p%1"_s.arg(i, 2, 10, QChar(u'0')));
    }
    // Then the newest 40 of the 45 stored paths not among them.
    QStringList newStored;
    for (int i = stored.size() - 1; i >= 0; --i) {
        if (!expected.contains(stored.at(i))) {
            newStored.append(stored.at(i));
        }
    }
    QCOMPARE(newStored.size(), 45);
    QCOMPARE(newStored.at(0), u"p24"_s);
    expected.append(newStored.mid(0, 40));
    QCOMPARE(pathsOf(entries, home.path()), expected);
    for (int i = 0; i < VscodeProjectSource::MAX_RECENT_PER_VARIANT; ++i) {
        QCOMPARE(entries.at(i).lastOpened, T0);
    }
    QCOMPARE(entries.at(20).lastOpened, T0 - 10000 + stored.size() - 1);
    // The debug line counts the list before the limit.
    QCOMPARE(recorder.texts(vscodeCategory, QtDebugMsg), QStringList{u"\"Code\" : using state.vscdb history ( \""_s + ownDb + u"\" ), 26 items"_s});
}

void TestVscodeProjectSource::nothingWithoutUserDirectory_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("no .config at all") << u"none"_s;
    QTest::newRow("a configuration directory without User") << u"no user"_s;
    QTest::newRow("User is a file") << u"user file"_s;
}

void TestVscodeProjectSource::nothingWithoutUserDirectory()
{
    QFETCH(QString, layout);

    TestUtil::FakeHome home;
    makeProjects(home);
    QVERIFY(writeStateDb(home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s), expand(recentList({folderEntry(u"app"_s)}), home.path()), u"WAL"_s));
    if (layout == u"no user"_s) {
        // Storage in the wrong place, and the whole layout of it in a "user" folder of the wrong case.
        QVERIFY(home.write(
            u".config/Code/workspaceStorage/"_s + storageId(1) + u"/workspace.json"_s, expand(workspaceJson(u"folder"_s, u"file://{uh}/lib"_s), home.path())));
        QVERIFY(home.write(u".config/Code/user/workspaceStorage/"_s + storageId(1) + u"/workspace.json"_s,
            expand(workspaceJson(u"folder"_s, u"file://{uh}/lib"_s), home.path())));
    } else if (layout == u"user file"_s) {
        QVERIFY(home.write(u".config/Code/User"_s, "{}"));
    }

    TestUtil::MessageRecorder recorder;
    QCOMPARE(VscodeProjectSource().collectProjects().size(), 0);
    QCOMPARE(VscodeProjectSource::collectVariant(code()).size(), 0);
    // Not even the shared database was looked at.
    QCOMPARE(recorder.messages().size(), 0);
}

void TestVscodeProjectSource::databaseReadWithoutWriting_data()
{
    QTest::addColumn<QString>("homeFolder");
    QTest::addColumn<QString>("journalMode");
    QTest::addColumn<QStringList>("beside");
    QTest::addColumn<QStringList>("paths");

    const QStringList both{u"app"_s, u"my project"_s};
    QTest::newRow("a WAL database without -wal or -shm") << u"home"_s << u"WAL"_s << QStringList() << both;
    QTest::newRow("a WAL database with a -wal left by a crash but no -shm") << u"home"_s << u"WAL"_s << QStringList{u"-wal"_s} << both;
    QTest::newRow("a WAL database with a -shm but no -wal") << u"home"_s << u"WAL"_s << QStringList{u"-shm"_s} << both;
    QTest::newRow("a rollback-journal database with a stray -wal") << u"home"_s << u"DELETE"_s << QStringList{u"-wal"_s} << both;
    QTest::newRow("an empty database file beside -wal and -shm") << u"home"_s << u"empty"_s << QStringList{u"-wal"_s, u"-shm"_s} << QStringList();
    QTest::newRow("a WAL database in a home with blanks") << u"the home of u"_s << u"WAL"_s << QStringList() << both;
    QTest::newRow("a WAL database in a home with ?, # and %") << u"what?#1 100%41"_s << u"WAL"_s << QStringList() << both;
    QTest::newRow("a WAL database in a home with letters beyond ASCII") << u"Jürgen Ørsted домой"_s << u"WAL"_s << QStringList() << both;
}

void TestVscodeProjectSource::databaseReadWithoutWriting()
{
    QFETCH(QString, homeFolder);
    QFETCH(QString, journalMode);
    QFETCH(QStringList, beside);
    QFETCH(QStringList, paths);

    TestUtil::FakeHome home(homeFolder);
    makeProjects(home);
    makeUserDir(home, code());
    const QString shared = home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s);
    if (journalMode == u"empty"_s) {
        QVERIFY(TestUtil::writeFile(shared, QByteArray()));
    } else {
        QVERIFY(writeStateDb(shared, expand(recentList({folderEntry(u"app"_s), folderEntry(u"my project"_s)}), home.path()), journalMode));
    }
    QVERIFY(!QFileInfo::exists(shared + u"-wal"_s));
    QVERIFY(!QFileInfo::exists(shared + u"-shm"_s));
    if (beside.contains(u"-wal"_s)) {
        QVERIFY(copyRunningEditorsWal(shared + u"-wal"_s));
    }
    if (beside.contains(u"-shm"_s)) {
        QVERIFY(TestUtil::writeFile(shared + u"-shm"_s, QByteArray(32768, '\0')));
    }

    const TestUtil::TreeSnapshot before = TestUtil::snapshotTree(home.path());
    TestUtil::MessageRecorder recorder;
    QCOMPARE(pathsOf(VscodeProjectSource().collectProjects(), home.path()), paths);
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), paths);
    QCOMPARE(recorder.texts(vscodeCategory, QtWarningMsg), QStringList());
    QCOMPARE(TestUtil::treeChanges(before, TestUtil::snapshotTree(home.path())), QStringList());
}

void TestVscodeProjectSource::liveWalWriterIsReadFromItsLog()
{
    TestUtil::FakeHome home;
    makeProjects(home);
    makeUserDir(home, code());
    const QString shared = home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s);
    QVERIFY(writeStateDb(shared, expand(recentList({folderEntry(u"app"_s)}), home.path()), u"WAL"_s));

    // The editor: running, with its newest list only in the -wal.
    TestUtil::FakeEditor editor;
    QVERIFY(editor.start(shared));
    QVERIFY(editor.setRecentList(expand(recentList({folderEntry(u"lib"_s), folderEntry(u"app"_s)}), home.path())));
    QVERIFY(QFileInfo(shared + u"-wal"_s).size() > 0);
    QVERIFY(QFileInfo::exists(shared + u"-shm"_s));

    const TestUtil::TreeSnapshot before = TestUtil::snapshotTree(home.path());
    TestUtil::MessageRecorder recorder;
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), (QStringList{u"lib"_s, u"app"_s}));
    QCOMPARE(recorder.texts(vscodeCategory, QtWarningMsg), QStringList());
    // Not even the editor's shared-memory index is written to.
    QCOMPARE(TestUtil::treeChanges(before, TestUtil::snapshotTree(home.path())), QStringList());

    // The editor goes on writing; the next collection sees that too.
    QVERIFY(editor.setRecentList(expand(recentList({folderEntry(u"tools"_s)}), home.path())));
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), QStringList{u"tools"_s});

    // Once it has crashed, its -wal and -shm vouch for nothing: the main file is read alone.
    editor.crash();
    QVERIFY(QFileInfo(shared + u"-wal"_s).size() > 0);
    const TestUtil::TreeSnapshot left = TestUtil::snapshotTree(home.path());
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), QStringList{u"app"_s});
    QCOMPARE(TestUtil::treeChanges(left, TestUtil::snapshotTree(home.path())), QStringList());
}

void TestVscodeProjectSource::lockedDatabaseDoesNotStallTheSearch()
{
    TestUtil::FakeHome home;
    makeProjects(home);
    makeUserDir(home, code());
    const QString db = home.filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    QVERIFY(writeStateDb(db, expand(recentList({folderEntry(u"app"_s)}), home.path())));

    // An editor in the middle of a commit holds the lock every reader waits for.
    TestUtil::FakeEditor editor;
    QVERIFY(editor.start(db, TestUtil::FakeEditor::Rollback));
    QVERIFY(editor.lock());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), QStringList());
    // Far below the database driver's own 5 s.
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));

    QVERIFY(editor.unlock());
    QCOMPARE(pathsOf(VscodeProjectSource::collectVariant(code()), home.path()), QStringList{u"app"_s});
    QVERIFY(editor.quit());
}

void TestVscodeProjectSource::fixtureHomeUntouchedAndVariantsInOrder()
{
    // Every variant with the files an editor leaves behind.
    TestUtil::FakeHome home;
    makeProjects(home);
    QVERIFY(writeStateDb(home.filePath(u".vscode-shared/sharedStorage/state.vscdb"_s),
        expand(recentList({folderEntry(u"app"_s), fileEntry(u"w/team.code-workspace"_s)}), home.path()),
        u"WAL"_s));
    int n = 0;
    for (const VscodeVariant &variant : vscodeVariants()) {
        const QString user = u".config/"_s + variant.configDir + u"/User/"_s;
        QVERIFY(writeStateDb(home.filePath(user + u"globalStorage/state.vscdb"_s), expand(recentList({folderEntry(u"lib"_s)}), home.path())));
        QVERIFY(QFile::copy(home.filePath(user + u"globalStorage/state.vscdb"_s), home.filePath(user + u"globalStorage/state.vscdb.backup"_s)));
        QVERIFY(home.write(user + u"globalStorage/storage.json"_s, expand(storageJson({menuItem(u"openRecentFolder"_s, u"tools"_s)}), home.path())));
        for (const QString &project : {u"my project"_s, u"Grüße проект"_s}) {
            const QString dir = user + u"workspaceStorage/"_s + storageId(++n);
            QVERIFY(home.write(dir + u"/workspace.json"_s, workspaceJson(u"folder"_s, u"file://"_s + encoded(home.filePath(project)))));
            QVERIFY(writeStateDb(home.filePath(dir + u"/state.vscdb"_s), QByteArray()));
        }
    }

    // VS Code: two from the shared database, the others one each from their
    // own; then two stored folders each. Variants follow the catalogue.
    QStringList expected;
    for (const VscodeVariant &variant : vscodeVariants()) {
        for (int i = 0; i < (variant.configDir == u"Code"_s ? 4 : 3); ++i) {
            expected.append(variant.executable + u' ' + variant.iconName + u' ' + QString::fromUtf8(variant.productName));
        }
    }

    const TestUtil::TreeSnapshot before = TestUtil::snapshotTree(home.path());
    const VscodeProjectSource source;
    for (int collection = 0; collection < 3; ++collection) {
        QStringList variants;
        for (const ProjectEntry &entry : source.collectProjects()) {
            variants.append(entry.ideKey + u' ' + entry.icon + u' ' + entry.ideName);
        }
        QCOMPARE(variants, expected);
    }
    QCOMPARE(TestUtil::treeChanges(before, TestUtil::snapshotTree(home.path())), QStringList());
}

QTEST_GUILESS_MAIN(TestVscodeProjectSource)
#include "tst_vscodeprojectsource.moc"
