#include "fakesource.h"
#include "testutil.h"

#include "service/orlek.h"
#include "service/shortcuts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString shortcutFile = u".config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"_s;

QString request(const QString &cont, const QString &mID = u"1"_s)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, mID}, {u"cont"_s, cont}}).toJson(QJsonDocument::Compact));
}

// "group/item/name" for every item of an answer, in document order.
QStringList items(const QString &answer)
{
    QStringList result;
    const QJsonArray groups = QJsonDocument::fromJson(answer.toUtf8()).object().value(u"cont"_s).toArray();
    for (const QJsonValue &group : groups) {
        for (const QJsonValue &item : group[u"items"_s].toArray()) {
            result.append(group[u"group"_s].toString() + u'/' + item[u"item"_s].toString() + u'/' + item[u"name"_s].toString());
        }
    }
    return result;
}

// The ids of the shown items without their numbers, in document order.
QStringList shownPaths(const QString &answer)
{
    QStringList result;
    const QJsonArray groups = QJsonDocument::fromJson(answer.toUtf8()).object().value(u"cont"_s).toArray();
    for (const QJsonValue &group : groups) {
        for (const QJsonValue &item : group[u"items"_s].toArray()) {
            result.append(item[u"item"_s].toString().mid(4));
        }
    }
    return result;
}
} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void rejectedRequests_data();
    void rejectedRequests();
    void nothingTypedGivesTheEmptyAnswer_data();
    void nothingTypedGivesTheEmptyAnswer();
    void scoping_data();
    void scoping();
    void keywordMatching_data();
    void keywordMatching();
    void firstSourceWinsASharedPath();
    void equalTimesKeepCollectedOrder();
    void hundredNewestOfMany();
    void groupsAndNumbering();
    void groupNameFallsBackToSource();
    void percentSignsAreCopiedUnchanged();
    void noMatchGivesNoGroups();
    void logsRequestAndResult();

    void loadShortcuts_data();
    void loadShortcuts();
    void shortcutEditsApplyAtNextSearch();
    void shortcutFileThatIsNoFileIsIgnored();

private:
    std::unique_ptr<TestUtil::FakeHome> home;
    std::unique_ptr<FakeSource> vscode;
    std::unique_ptr<FakeSource> jetbrains;
    std::unique_ptr<Orlek> orlek;
};

void TestSearch::init()
{
    home = std::make_unique<TestUtil::FakeHome>();
    QVERIFY(home->isValid());
    vscode = std::make_unique<FakeSource>(u"vscode"_s, u"VS Code"_s, QStringList{u"vsc"_s, u"vscode"_s});
    jetbrains = std::make_unique<FakeSource>(u"jetbrains"_s, u"JetBrains IDEs"_s, QStringList{u"jh"_s, u"jb"_s, u"jetbrains"_s});
    vscode->entries = {
        vscode->entry(u"/home/u/src/app"_s, u"app"_s, 5000, u"VS Code"_s),
        vscode->entry(u"/home/u/w/team.code-workspace"_s, u"team"_s, 3000, u"Cursor"_s),
    };
    jetbrains->entries = {
        jetbrains->entry(u"/home/u/IdeaProjects/backend"_s, u"backend"_s, 4000, u"IntelliJ IDEA"_s),
        jetbrains->entry(u"/home/u/PycharmProjects/apptool"_s, u"apptool"_s, 6000, u"PyCharm"_s),
    };
    orlek = std::make_unique<Orlek>();
    orlek->addSource(vscode.get());
    orlek->addSource(jetbrains.get());
}

void TestSearch::cleanup()
{
    orlek.reset();
    jetbrains.reset();
    vscode.reset();
    home.reset();
}

void TestSearch::rejectedRequests_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("warning");

    const QString parseError = u"^Search: JSON parse error: \".+\"$"_s;
    QTest::newRow("an empty argument is not JSON") << QString() << parseError;
    QTest::newRow("plain text is not JSON") << u"vsc app"_s << parseError;
    QTest::newRow("a truncated object is not JSON") << u"{\"ver\":\"1.0\",\"mID\":\"1\""_s << parseError;
    QTest::newRow("another version") << u"{\"ver\":\"2.0\",\"mID\":\"1\",\"cont\":\"app\"}"_s << u"^Search: invalid request, ver: \"2.0\" mID: \"1\"$"_s;
    QTest::newRow("the version with blanks around it")
        << u"{\"ver\":\" 1.0\",\"mID\":\"1\",\"cont\":\"app\"}"_s << u"^Search: invalid request, ver: \" 1.0\" mID: \"1\"$"_s;
    QTest::newRow("a numeric version") << u"{\"ver\":1.0,\"mID\":\"1\",\"cont\":\"app\"}"_s << u"^Search: invalid request, ver: \"\" mID: \"1\"$"_s;
    QTest::newRow("a numeric mID") << u"{\"ver\":\"1.0\",\"mID\":7,\"cont\":\"app\"}"_s << u"^Search: invalid request, ver: \"1.0\" mID: \"\"$"_s;
    QTest::newRow("an empty mID") << u"{\"ver\":\"1.0\",\"mID\":\"\",\"cont\":\"app\"}"_s << u"^Search: invalid request, ver: \"1.0\" mID: \"\"$"_s;
    QTest::newRow("no mID at all") << u"{\"ver\":\"1.0\",\"cont\":\"app\"}"_s << u"^Search: invalid request, ver: \"1.0\" mID: \"\"$"_s;
    QTest::newRow("a top-level array") << u"[\"1.0\",\"1\",\"app\"]"_s << u"^Search: invalid request, ver: \"\" mID: \"\"$"_s;
}

void TestSearch::rejectedRequests()
{
    QFETCH(QString, json);
    QFETCH(QString, warning);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    const QString answer = orlek->search(json);
    QVERIFY(answer.isEmpty());
    QVERIFY(answer.isNull());
    QCOMPARE(vscode->collections + jetbrains->collections, 0);
}

void TestSearch::nothingTypedGivesTheEmptyAnswer_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("only spaces typed") << request(u"   "_s, u"7"_s);
    QTest::newRow("no cont at all") << u"{\"ver\":\"1.0\",\"mID\":\"7\"}"_s;
    QTest::newRow("a cont that is no string") << u"{\"ver\":\"1.0\",\"mID\":\"7\",\"cont\":[\"app\"]}"_s;
}

void TestSearch::nothingTypedGivesTheEmptyAnswer()
{
    QFETCH(QString, json);
    QCOMPARE(orlek->search(json), u"{\"cont\":[],\"mID\":\"7\",\"ver\":\"1.0\"}"_s);
    // Nothing is read for an empty search.
    QCOMPARE(vscode->collections + jetbrains->collections, 0);
}

void TestSearch::scoping_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("cont");
    QTest::addColumn<QStringList>("shown");

    const QString app = u"/home/u/src/app"_s;
    const QString team = u"/home/u/w/team.code-workspace"_s;
    const QString backend = u"/home/u/IdeaProjects/backend"_s;
    const QString apptool = u"/home/u/PycharmProjects/apptool"_s;

    QTest::newRow("no scope searches every source, newest first") << QByteArray() << u"app"_s << QStringList{apptool, app};
    QTest::newRow("a source prefix alone lists that source, newest first") << QByteArray() << u"jb"_s << QStringList{apptool, backend};
    QTest::newRow("a prefix in other case limits the keyword to the source") << QByteArray() << u"VSC app"_s << QStringList{app};
    QTest::newRow("the second alias of a source works") << QByteArray() << u"jetbrains back"_s << QStringList{backend};
    QTest::newRow("a word that only begins with a prefix is a keyword") << QByteArray() << u"jbapp"_s << QStringList();
    QTest::newRow("a shortcut word typed in other case") << QByteArray("[Shortcut]\nide=jetbrains\n") << u"IDE app"_s << QStringList{apptool};
    QTest::newRow("a shortcut word alone lists its source") << QByteArray("[Shortcut]\ned=vscode\n") << u"ed"_s << QStringList{app, team};
    QTest::newRow("two shortcuts for one source, the first") << QByteArray("[Shortcut]\ned=vscode\ncode=vscode\n") << u"ed team"_s << QStringList{team};
    QTest::newRow("two shortcuts for one source, the second") << QByteArray("[Shortcut]\ned=vscode\ncode=vscode\n") << u"code"_s << QStringList{app, team};
    QTest::newRow("a shortcut may reuse another source's prefix") << QByteArray("[Shortcut]\njb=vscode\n") << u"jb"_s << QStringList{app, team};
    QTest::newRow("a shortcut whose id differs in case is passed over") << QByteArray("[Shortcut]\nvsc=JetBrains\n") << u"vsc app"_s << QStringList{app};
    QTest::newRow("a shortcut naming no source leaves the words as keyword") << QByteArray("[Shortcut]\nmine=eclipse\n") << u"mine"_s << QStringList();
    QTest::newRow("a keyword that is no shortcut nor prefix searches everything")
        << QByteArray("[Shortcut]\nide=jetbrains\n") << u"team"_s << QStringList{team};
}

void TestSearch::scoping()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, cont);
    QFETCH(QStringList, shown);

    if (!config.isEmpty()) {
        QVERIFY(home->write(shortcutFile, config));
    }
    const QString answer = orlek->search(request(cont));
    QCOMPARE(shownPaths(answer), shown);
    // Every source is read once per search, scoped or not.
    QCOMPARE(vscode->collections, 1);
    QCOMPARE(jetbrains->collections, 1);
}

void TestSearch::keywordMatching_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("two characters match names only") << u"ho"_s << QStringList();
    QTest::newRow("two characters in a name match") << u"ba"_s << QStringList{u"/home/u/IdeaProjects/backend"_s};
    QTest::newRow("three characters match paths too") << u"hom"_s
                                                      << QStringList{u"/home/u/PycharmProjects/apptool"_s,
                                                             u"/home/u/src/app"_s,
                                                             u"/home/u/IdeaProjects/backend"_s,
                                                             u"/home/u/w/team.code-workspace"_s};
    QTest::newRow("names match ignoring case") << u"APPT"_s << QStringList{u"/home/u/PycharmProjects/apptool"_s};
    QTest::newRow("paths match ignoring case") << u"IDEAPROJ"_s << QStringList{u"/home/u/IdeaProjects/backend"_s};
    QTest::newRow("a keyword matching nothing") << u"zzz"_s << QStringList();
}

void TestSearch::keywordMatching()
{
    QFETCH(QString, keyword);
    QFETCH(QStringList, shown);
    QCOMPARE(shownPaths(orlek->search(request(keyword))), shown);
}

void TestSearch::firstSourceWinsASharedPath()
{
    // The same folder recorded by both families; the JetBrains record is newer.
    jetbrains->entries.append(jetbrains->entry(u"/home/u/src/app"_s, u"app"_s, 9000, u"WebStorm"_s));
    QCOMPARE(items(orlek->search(request(u"app"_s))),
        (QStringList{u"PyCharm/000|/home/u/PycharmProjects/apptool/apptool (/home/u/PycharmProjects/apptool)"_s,
            u"VS Code/001|/home/u/src/app/app (/home/u/src/app)"_s}));
}

void TestSearch::equalTimesKeepCollectedOrder()
{
    vscode->entries = {vscode->entry(u"/p/v1"_s, u"v1"_s, 100, u"A"_s), vscode->entry(u"/p/v2"_s, u"v2"_s, 100, u"A"_s)};
    jetbrains->entries = {jetbrains->entry(u"/p/j1"_s, u"j1"_s, 100, u"A"_s), jetbrains->entry(u"/p/j0"_s, u"j0"_s, 200, u"A"_s)};
    QCOMPARE(shownPaths(orlek->search(request(u"/p/"_s))), (QStringList{u"/p/j0"_s, u"/p/v1"_s, u"/p/v2"_s, u"/p/j1"_s}));
}

void TestSearch::hundredNewestOfMany()
{
    vscode->entries.clear();
    jetbrains->entries.clear();
    for (int i = 0; i < 150; ++i) {
        FakeSource &source = i % 2 ? *jetbrains : *vscode;
        source.entries.append(source.entry(u"/p/proj%1"_s.arg(i), u"proj%1"_s.arg(i), 1000 + i * 7 % 150, u"IDE"_s));
    }
    QTest::ignoreMessage(QtInfoMsg, "Search - mID: \"1\" matched: 100");
    const QStringList shown = shownPaths(orlek->search(request(u"proj"_s)));
    QCOMPARE(shown.size(), 100);
    // Times are 1000..1149, each once; the newest 100 are 1050..1149, newest first.
    QStringList expected;
    for (int t = 149; t >= 50; --t) {
        for (int i = 0; i < 150; ++i) {
            if (i * 7 % 150 == t) {
                expected.append(u"/p/proj%1"_s.arg(i));
            }
        }
    }
    QCOMPARE(shown, expected);
}

void TestSearch::groupsAndNumbering()
{
    vscode->entries = {vscode->entry(u"/p/a1"_s, u"a1"_s, 300, u"A"_s), vscode->entry(u"/p/a2"_s, u"a2"_s, 100, u"A"_s)};
    jetbrains->entries = {jetbrains->entry(u"/p/b1"_s, u"b1"_s, 200, u"B"_s), jetbrains->entry(u"/p/b2"_s, u"b2"_s, 50, u"a"_s)};
    QCOMPARE(orlek->search(request(u"/p/"_s, u"q-1"_s)),
        u"{\"cont\":["
        "{\"group\":\"A\",\"items\":["
        "{\"icon\":\"vscode-icon\",\"item\":\"000|/p/a1\",\"name\":\"a1 (/p/a1)\",\"type\":\"ide/recent-project\"},"
        "{\"icon\":\"vscode-icon\",\"item\":\"002|/p/a2\",\"name\":\"a2 (/p/a2)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"B\",\"items\":["
        "{\"icon\":\"jetbrains-icon\",\"item\":\"001|/p/b1\",\"name\":\"b1 (/p/b1)\",\"type\":\"ide/recent-project\"}]},"
        "{\"group\":\"a\",\"items\":["
        "{\"icon\":\"jetbrains-icon\",\"item\":\"003|/p/b2\",\"name\":\"b2 (/p/b2)\",\"type\":\"ide/recent-project\"}]}"
        "],\"mID\":\"q-1\",\"ver\":\"1.0\"}"_s);
}

void TestSearch::groupNameFallsBackToSource()
{
    FakeSource nameless(u"nameless"_s);
    vscode->entries = {vscode->entry(u"/p/1"_s, u"one"_s, 500), vscode->entry(u"/p/2"_s, u"two"_s, 400, u"VS Code"_s)};
    jetbrains->entries.clear();
    nameless.entries = {nameless.entry(u"/p/3"_s, u"three"_s, 300)};
    FakeSource stranger(u"stranger"_s);
    stranger.entries = {stranger.entry(u"/p/4"_s, u"four"_s, 250)};
    stranger.entries[0].sourceId = u"unregistered"_s;
    jetbrains->entries = {jetbrains->entry(u"/p/5"_s, u"five"_s, 200)};
    orlek->addSource(&nameless);
    orlek->addSource(&stranger);

    // Neither the nameless source's entry nor the unowned one has a group:
    // both are left out and the numbering goes on without them.
    QCOMPARE(items(orlek->search(request(u"/p/"_s))),
        (QStringList{u"VS Code/000|/p/1/one (/p/1)"_s, u"VS Code/001|/p/2/two (/p/2)"_s, u"JetBrains IDEs/002|/p/5/five (/p/5)"_s}));
}

void TestSearch::percentSignsAreCopiedUnchanged()
{
    vscode->entries = {vscode->entry(u"/p/100%1 %2 done"_s, u"50%2 %1"_s, 1, u"VS %1 Code"_s)};
    jetbrains->entries.clear();
    QCOMPARE(items(orlek->search(request(u"vsc"_s))), QStringList{u"VS %1 Code/000|/p/100%1 %2 done/50%2 %1 (/p/100%1 %2 done)"_s});
}

void TestSearch::noMatchGivesNoGroups()
{
    QTest::ignoreMessage(QtInfoMsg, "Search - mID: \"x\" matched: 0");
    QCOMPARE(orlek->search(request(u"nothing like it"_s, u"x"_s)), u"{\"cont\":[],\"mID\":\"x\",\"ver\":\"1.0\"}"_s);
}

void TestSearch::logsRequestAndResult()
{
    QVERIFY(home->write(shortcutFile, "[Shortcut]\nide=jetbrains\n"));
    QTest::ignoreMessage(QtDebugMsg, "Configured shortcuts: QHash((\"ide\", \"jetbrains\"))");
    QTest::ignoreMessage(QtDebugMsg, "Search request - mID: \"9\" scope: \"jetbrains\" keyword: \"app\"");
    QTest::ignoreMessage(QtInfoMsg, "Search - mID: \"9\" matched: 1");
    orlek->search(request(u" ide   app "_s, u"9"_s));
}

void TestSearch::loadShortcuts_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QStringList>("shortcuts");

    QTest::newRow("no file gives no shortcuts") << QByteArray() << QStringList();
    QTest::newRow("keys and values are trimmed") << QByteArray("[Shortcut]\n  ide  =  jetbrains  \n") << QStringList{u"ide=jetbrains"_s};
    QTest::newRow("empty values are skipped") << QByteArray("[Shortcut]\nide=\ned=vscode\n") << QStringList{u"ed=vscode"_s};
    QTest::newRow("a list value is skipped") << QByteArray("[Shortcut]\nide=jetbrains, vscode\ned=vscode\n") << QStringList{u"ed=vscode"_s};
    QTest::newRow("a quoted comma is one value") << QByteArray("[Shortcut]\nide=\"jetbrains, vscode\"\n") << QStringList{u"ide=jetbrains, vscode"_s};
    QTest::newRow("other groups and ungrouped keys are ignored")
        << QByteArray("top=vscode\n[General]\ng=vscode\n[Shortcut]\nide=jetbrains\n[Other]\no=vscode\n") << QStringList{u"ide=jetbrains"_s};
    QTest::newRow("a file without the group gives nothing") << QByteArray("[Shortcuts]\nide=jetbrains\n") << QStringList();
    QTest::newRow("two words for one source") << QByteArray("[Shortcut]\nide=jetbrains\nidea=jetbrains\n")
                                              << QStringList{u"ide=jetbrains"_s, u"idea=jetbrains"_s};
    QTest::newRow("words are kept as written") << QByteArray("[Shortcut]\nIDE=jetbrains\n") << QStringList{u"IDE=jetbrains"_s};
}

void TestSearch::loadShortcuts()
{
    QFETCH(QByteArray, config);
    QFETCH(QStringList, shortcuts);

    if (!config.isEmpty()) {
        QVERIFY(home->write(shortcutFile, config));
    }
    // Never read from XDG_CONFIG_HOME.
    QVERIFY(home->write(u"xdg-config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"_s, "[Shortcut]\nxdg=vscode\n"));

    const QHash<QString, QString> table = ::loadShortcuts();
    QStringList actual;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        actual.append(it.key() + u'=' + it.value());
    }
    actual.sort();
    QCOMPARE(actual, shortcuts);
}

void TestSearch::shortcutEditsApplyAtNextSearch()
{
    QVERIFY(home->write(shortcutFile, "[Shortcut]\nmine=vscode\n", 1'600'000'000'000));
    QCOMPARE(shownPaths(orlek->search(request(u"mine"_s))), (QStringList{u"/home/u/src/app"_s, u"/home/u/w/team.code-workspace"_s}));

    QVERIFY(home->write(shortcutFile, "[Shortcut]\nmine=jetbrains\n", 1'600'000'001'000));
    QCOMPARE(shownPaths(orlek->search(request(u"mine"_s))), (QStringList{u"/home/u/PycharmProjects/apptool"_s, u"/home/u/IdeaProjects/backend"_s}));

    QVERIFY(QFile::remove(home->filePath(shortcutFile)));
    QCOMPARE(shownPaths(orlek->search(request(u"mine"_s))), QStringList());
}

void TestSearch::shortcutFileThatIsNoFileIsIgnored()
{
    // A FIFO would block a plain read for ever.
    QVERIFY(home->mkpath(u".config/velari/vorn-sorvex-orlek"_s));
    QCOMPARE(::mkfifo(QFile::encodeName(home->filePath(shortcutFile)).constData(), 0600), 0);
    QVERIFY(::loadShortcuts().isEmpty());
    QCOMPARE(shownPaths(orlek->search(request(u"jb"_s))), (QStringList{u"/home/u/PycharmProjects/apptool"_s, u"/home/u/IdeaProjects/backend"_s}));
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
