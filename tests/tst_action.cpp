#include "fakesource.h"
#include "testutil.h"

#include "service/logging.h"
#include "service/orlek.h"
#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
QString request(const QString &action, const QString &item)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{u"action"_s, action}, {u"item"_s, item}}).toJson(QJsonDocument::Compact));
}

QString searchRequest(const QString &cont)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, u"1"_s}, {u"cont"_s, cont}}).toJson(QJsonDocument::Compact));
}

// The item ids of a search answer, in document order.
QStringList shownItems(const QString &answer)
{
    QStringList result;
    const QJsonArray groups = QJsonDocument::fromJson(answer.toUtf8()).object().value(u"cont"_s).toArray();
    for (const QJsonValue &group : groups) {
        for (const QJsonValue &item : group[u"items"_s].toArray()) {
            result.append(item[u"item"_s].toString());
        }
    }
    return result;
}

QStringList opened(const FakeSource &source)
{
    QStringList result;
    for (const ProjectEntry &entry : std::as_const(source.opened)) {
        result.append(source.sourceId + u':' + entry.id);
    }
    return result;
}

QString debugLine(const QString &action, const QString &item)
{
    return u"debug: Action: \"%1\" item: \"%2\""_s.arg(action, item);
}

} // namespace

class TestAction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void action_data();
    void action();
    void shownItemOpensFromCacheAfterItsSourceDroppedIt();
    void cacheIsReadBeforeTheSources();
    void laterSearchReplacesTheCachedEntry();
    void freshCollectionLeavesTheCacheAlone();
    void actionReachesTheRealLaunchers_data();
    void actionReachesTheRealLaunchers();
    void recordedJetbrainsProjectOpensInItsIde();
};

void TestAction::action_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("collections");
    QTest::addColumn<QString>("run");
    QTest::addColumn<QStringList>("messages");

    const QString open = u"openitem"_s;
    auto unknown = [](const QString &item) {
        return u"warning: Action: unknown item: \"%1\""_s.arg(item);
    };
    const QString openingP = u"info: Opening project: \"/p\" via \"alpha\""_s;

    QTest::newRow("a numbered item opens the entry named after the bar")
        << request(open, u"007|/p"_s) << QStringList{u"alpha:/p"_s} << true << 1 << QString() << QStringList{debugLine(open, u"007|/p"_s), openingP};
    QTest::newRow("an item without a number is looked up whole")
        << request(open, u"/p"_s) << QStringList{u"alpha:/p"_s} << true << 1 << QString() << QStringList{debugLine(open, u"/p"_s), openingP};
    QTest::newRow("numbers longer than three digits are not taken off")
        << request(open, u"1234|/x"_s) << QStringList() << false << 1 << QString() << QStringList{debugLine(open, u"1234|/x"_s), unknown(u"1234|/x"_s)};
    QTest::newRow("two digits before the bar are not a number")
        << request(open, u"12|/x"_s) << QStringList() << false << 1 << QString() << QStringList{debugLine(open, u"12|/x"_s), unknown(u"12|/x"_s)};
    QTest::newRow("letters before the bar are not a number")
        << request(open, u"abc|/x"_s) << QStringList() << false << 1 << QString() << QStringList{debugLine(open, u"abc|/x"_s), unknown(u"abc|/x"_s)};
    QTest::newRow("a number with nothing after it is looked up whole")
        << request(open, u"007|"_s) << QStringList{u"alpha:007|"_s} << true << 1 << QString()
        << QStringList{debugLine(open, u"007|"_s), u"info: Opening project: \"007|\" via \"alpha\""_s};
    QTest::newRow("Arabic-Indic digits make a number too")
        << request(open, u"٠٠٧|/p"_s) << QStringList{u"alpha:/p"_s} << true << 1 << QString() << QStringList{debugLine(open, u"٠٠٧|/p"_s), openingP};
    QTest::newRow("fullwidth digits make a number too")
        << request(open, u"０４２|/p"_s) << QStringList{u"alpha:/p"_s} << true << 1 << QString() << QStringList{debugLine(open, u"０４２|/p"_s), openingP};
    QTest::newRow("superscript digits are no decimal digits")
        << request(open, u"¹²³|/p"_s) << QStringList() << false << 1 << QString() << QStringList{debugLine(open, u"¹²³|/p"_s), unknown(u"¹²³|/p"_s)};
    QTest::newRow("the warning names an unknown item without its number") << request(open, u"042|/nowhere"_s) << QStringList() << false << 1 << QString()
                                                                          << QStringList{debugLine(open, u"042|/nowhere"_s), unknown(u"/nowhere"_s)};
    QTest::newRow("a path that no source reported is never opened") << request(open, u"000|/home/u/.ssh"_s) << QStringList() << false << 1 << QString()
                                                                    << QStringList{debugLine(open, u"000|/home/u/.ssh"_s), unknown(u"/home/u/.ssh"_s)};
    QTest::newRow("ids are compared with case") << request(open, u"/P"_s) << QStringList() << false << 1 << QString()
                                                << QStringList{debugLine(open, u"/P"_s), unknown(u"/P"_s)};
    QTest::newRow("a path reported by two sources opens the first source's entry")
        << request(open, u"003|/shared"_s) << QStringList{u"alpha:/shared"_s} << true << 1 << QString()
        << QStringList{debugLine(open, u"003|/shared"_s), u"info: Opening project: \"/shared\" via \"alpha\""_s};
    QTest::newRow("the owner's answer is the answer") << request(open, u"/beta-only"_s) << QStringList{u"beta:/beta-only"_s} << false << 1 << QString()
                                                      << QStringList{debugLine(open, u"/beta-only"_s), u"info: Opening project: \"/beta-only\" via \"beta\""_s};
    QTest::newRow("an entry of a source that is not registered goes to the file manager")
        << request(open, u"/ghost"_s) << QStringList() << true << 1 << u"xdg-open </ghost>\n"_s
        << QStringList{debugLine(open, u"/ghost"_s), u"info: Opening project via fallback: \"/ghost\""_s};
    QTest::newRow("other keys are ignored") << uR"({"action":"openitem","item":"/p","mID":"7","ver":"1.0"})"_s << QStringList{u"alpha:/p"_s} << true << 1
                                            << QString() << QStringList{debugLine(open, u"/p"_s), openingP};
    QTest::newRow("Openitem is another action") << request(u"Openitem"_s, u"/p"_s) << QStringList() << false << 0 << QString()
                                                << QStringList{debugLine(u"Openitem"_s, u"/p"_s)};
    QTest::newRow("open is another action") << request(u"open"_s, u"/p"_s) << QStringList() << false << 0 << QString()
                                            << QStringList{debugLine(u"open"_s, u"/p"_s)};
    QTest::newRow("a missing action does nothing") << uR"({"item":"/p"})"_s << QStringList() << false << 0 << QString()
                                                   << QStringList{debugLine(QString(), u"/p"_s)};
    QTest::newRow("an empty item does nothing") << request(open, QString()) << QStringList() << false << 0 << QString()
                                                << QStringList{debugLine(open, QString())};
    QTest::newRow("an item that is not a string reads as empty")
        << uR"({"action":"openitem","item":7})"_s << QStringList() << false << 0 << QString() << QStringList{debugLine(open, QString())};
    QTest::newRow("text that is not JSON does nothing")
        << u"openitem /p"_s << QStringList() << false << 0 << QString() << QStringList{debugLine(QString(), QString())};
    QTest::newRow("a JSON array does nothing") << uR"(["openitem","/p"])"_s << QStringList() << false << 0 << QString()
                                               << QStringList{debugLine(QString(), QString())};
}

void TestAction::action()
{
    QFETCH(QString, json);
    QFETCH(QStringList, opened);
    QFETCH(bool, result);
    QFETCH(int, collections);
    QFETCH(QString, run);
    QFETCH(QStringList, messages);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString log = home.filePath(u"runs.log"_s);
    QVERIFY(TestUtil::writeRecordingProgram(home.binDir() + u"/xdg-open"_s, log));

    FakeSource alpha(u"alpha"_s);
    FakeSource beta(u"beta"_s);
    beta.openResult = false;
    ProjectEntry ghost = alpha.entry(u"/ghost"_s, u"ghost"_s, 4);
    ghost.sourceId = u"ghost"_s;
    // "/x" is what a wrongly taken-off number would find.
    alpha.entries
        = {alpha.entry(u"/p"_s, u"p"_s, 1), alpha.entry(u"/x"_s, u"x"_s, 2), alpha.entry(u"007|"_s, u"odd"_s, 3), ghost, alpha.entry(u"/shared"_s, u"s"_s, 5)};
    beta.entries = {beta.entry(u"/shared"_s, u"s"_s, 9), beta.entry(u"/beta-only"_s, u"b"_s, 8)};

    Orlek orlek;
    orlek.addSource(&alpha);
    orlek.addSource(&beta);

    TestUtil::MessageRecorder capture;
    QCOMPARE(orlek.action(json), result);
    QCOMPARE(::opened(alpha) + ::opened(beta), opened);
    QCOMPARE(alpha.collections, collections);
    QCOMPARE(beta.collections, collections);
    QCOMPARE(capture.lines(u"org.velari.sorvex.orlek"_s), messages);
    QCOMPARE(TestUtil::settledText(log, run), run);
}

void TestAction::shownItemOpensFromCacheAfterItsSourceDroppedIt()
{
    FakeSource alpha(u"alpha"_s, u"Alpha"_s);
    alpha.entries = {alpha.entry(u"/dev/app"_s, u"app"_s, 2), alpha.entry(u"/dev/tool"_s, u"tool"_s, 1)};
    Orlek orlek;
    orlek.addSource(&alpha);

    const QStringList shown = shownItems(orlek.search(searchRequest(u"tool"_s)));
    QCOMPARE(shown, QStringList{u"000|/dev/tool"_s});
    alpha.entries.clear();

    QVERIFY(orlek.action(request(u"openitem"_s, shown.constFirst())));
    QCOMPARE(opened(alpha), QStringList{u"alpha:/dev/tool"_s});
    // Opened as it was shown, without reading the sources again.
    QCOMPARE(alpha.opened.constFirst().name, u"tool (/dev/tool)"_s);
    QCOMPARE(alpha.collections, 1);
}

void TestAction::cacheIsReadBeforeTheSources()
{
    FakeSource alpha(u"alpha"_s, u"Alpha"_s);
    FakeSource beta(u"beta"_s, u"Beta"_s);
    alpha.entries = {alpha.entry(u"/dev/app"_s, u"app"_s, 1)};
    Orlek orlek;
    orlek.addSource(&alpha);
    orlek.addSource(&beta);

    const QStringList shown = shownItems(orlek.search(searchRequest(u"app"_s)));
    QCOMPARE(shown, QStringList{u"000|/dev/app"_s});
    // Another source reports the path first now; the shown entry still wins.
    alpha.entries.clear();
    beta.entries = {beta.entry(u"/dev/app"_s, u"app"_s, 9)};

    QVERIFY(orlek.action(request(u"openitem"_s, shown.constFirst())));
    QCOMPARE(opened(alpha) + opened(beta), QStringList{u"alpha:/dev/app"_s});
}

void TestAction::laterSearchReplacesTheCachedEntry()
{
    FakeSource alpha(u"alpha"_s, u"Alpha"_s);
    FakeSource beta(u"beta"_s, u"Beta"_s);
    alpha.entries = {alpha.entry(u"/dev/app"_s, u"app"_s, 1)};
    Orlek orlek;
    orlek.addSource(&alpha);
    orlek.addSource(&beta);

    QCOMPARE(shownItems(orlek.search(searchRequest(u"app"_s))), QStringList{u"000|/dev/app"_s});
    alpha.entries.clear();
    beta.entries = {beta.entry(u"/dev/zeta"_s, u"zeta"_s, 3), beta.entry(u"/dev/app"_s, u"app"_s, 2)};
    // The same id under another number, now from the other source.
    const QStringList shown = shownItems(orlek.search(searchRequest(u"a"_s)));
    QCOMPARE(shown, (QStringList{u"000|/dev/zeta"_s, u"001|/dev/app"_s}));
    beta.entries.clear();

    QVERIFY(orlek.action(request(u"openitem"_s, u"000|/dev/app"_s)));
    QCOMPARE(opened(alpha) + opened(beta), QStringList{u"beta:/dev/app"_s});
}

void TestAction::freshCollectionLeavesTheCacheAlone()
{
    FakeSource alpha(u"alpha"_s, u"Alpha"_s);
    alpha.entries = {alpha.entry(u"/dev/app"_s, u"app"_s, 1)};
    Orlek orlek;
    orlek.addSource(&alpha);

    QVERIFY(orlek.action(request(u"openitem"_s, u"/dev/app"_s)));
    QCOMPARE(alpha.collections, 1);
    alpha.entries.clear();

    QVERIFY(!orlek.action(request(u"openitem"_s, u"/dev/app"_s)));
    QCOMPARE(alpha.collections, 2);
    QCOMPARE(opened(alpha), QStringList{u"alpha:/dev/app"_s});
}

void TestAction::actionReachesTheRealLaunchers_data()
{
    QTest::addColumn<QString>("sourceId");
    QTest::addColumn<QString>("ideKey");
    QTest::addColumn<QString>("run");

    QTest::newRow("a JetBrains project starts the IDE's desktop entry") << u"jetbrains"_s << u"pycharm"_s << u"pycharm.sh <%1>\n"_s;
    QTest::newRow("a VSCodium folder starts the editor on the search path") << u"vscode"_s << u"codium"_s << u"codium <%1>\n"_s;
}

void TestAction::actionReachesTheRealLaunchers()
{
    QFETCH(QString, sourceId);
    QFETCH(QString, ideKey);
    QFETCH(QString, run);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString log = home.filePath(u"runs.log"_s);
    for (const QString &program : {u"xdg-open"_s, u"codium"_s}) {
        QVERIFY(TestUtil::writeRecordingProgram(home.binDir() + u'/' + program, log));
    }
    QVERIFY(TestUtil::writeRecordingProgram(home.filePath(u"opt/pycharm/bin/pycharm.sh"_s), log));
    QVERIFY(home.write(u".local/share/applications/jetbrains-pycharm-ce.desktop"_s,
        "[Desktop Entry]\nType=Application\nName=PyCharm Community\nExec=\"" + QFile::encodeName(home.path())
            + "/opt/pycharm/bin/pycharm.sh\" %f\nTerminal=false\n"));

    // The real sources report nothing from this home; a stand-in reports the
    // project as theirs.
    VscodeProjectSource vscode;
    JetbrainsProjectSource jetbrains;
    FakeSource reporter(u"reporter"_s);
    ProjectEntry entry = reporter.entry(home.filePath(u"dev/my app"_s), u"my app"_s, 1);
    entry.sourceId = sourceId;
    entry.ideKey = ideKey;
    reporter.entries = {entry};

    Orlek orlek;
    orlek.addSource(&vscode);
    orlek.addSource(&jetbrains);
    orlek.addSource(&reporter);

    QVERIFY(orlek.action(request(u"openitem"_s, u"000|"_s + entry.id)));
    QCOMPARE(TestUtil::settledText(log, run.arg(entry.path)), run.arg(entry.path));
    QVERIFY(reporter.opened.isEmpty());
}

void TestAction::recordedJetbrainsProjectOpensInItsIde()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString log = home.filePath(u"runs.log"_s);
    QVERIFY(TestUtil::writeRecordingProgram(home.binDir() + u"/xdg-open"_s, log));
    const QString script = u".local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/241.14494.240/bin/idea.sh"_s;
    QVERIFY(TestUtil::writeRecordingProgram(home.filePath(script), log));
    QVERIFY(home.write(u".local/share/applications/jetbrains-idea.desktop"_s,
        "[Desktop Entry]\nVersion=1.0\nType=Application\nName=IntelliJ IDEA Ultimate 2024.1\nExec=\"" + QFile::encodeName(home.filePath(script))
            + "\" %u\nTerminal=false\nStartupWMClass=jetbrains-idea\n"));
    QVERIFY(home.mkpath(u"dev/shop app"_s));
    QVERIFY(home.write(u".config/JetBrains/IntelliJIdea2024.1/options/recentProjects.xml"_s,
        "<application>\n"
        "  <component name=\"RecentProjectsManager\">\n"
        "    <option name=\"additionalInfo\">\n"
        "      <map>\n"
        "        <entry key=\"$USER_HOME$/dev/shop app\">\n"
        "          <value>\n"
        "            <RecentProjectMetaInfo opened=\"true\" projectWorkspaceId=\"2a1\">\n"
        "              <option name=\"activationTimestamp\" value=\"1717000000000\" />\n"
        "              <option name=\"binFolder\" value=\"$APPLICATION_HOME_DIR$/bin\" />\n"
        "              <option name=\"build\" value=\"IU-241.14494.240\" />\n"
        "              <option name=\"productionCode\" value=\"IU\" />\n"
        "              <option name=\"projectOpenTimestamp\" value=\"1717000000000\" />\n"
        "            </RecentProjectMetaInfo>\n"
        "          </value>\n"
        "        </entry>\n"
        "      </map>\n"
        "    </option>\n"
        "  </component>\n"
        "</application>\n"));

    VscodeProjectSource vscode;
    JetbrainsProjectSource jetbrains;
    Orlek orlek;
    orlek.addSource(&vscode);
    orlek.addSource(&jetbrains);

    // Shown by a search, then chosen: the IDE that recorded it gets the path.
    const QString project = home.filePath(u"dev/shop app"_s);
    const QStringList shown = shownItems(orlek.search(searchRequest(u"jb shop"_s)));
    QCOMPARE(shown, QStringList{u"000|"_s + project});
    QVERIFY(orlek.action(request(u"openitem"_s, shown.constFirst())));
    const QString run = u"idea.sh <%1>\n"_s.arg(project);
    QCOMPARE(TestUtil::settledText(log, run), run);
}

QTEST_GUILESS_MAIN(TestAction)
#include "tst_action.moc"
