#include "testutil.h"

#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The built service over a private bus, on a home where a JetBrains IDE and
// VS Code have recorded projects, and a desktop entry and an editor command
// stand ready to open them.
class TestDBusWorkflow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void search_data();
    void search();
    void sharedFolderIsTheVscodeEntry();
    void searchThenActionStartsTheRecordingIde_data();
    void searchThenActionStartsTheRecordingIde();

private:
    QString call(const QString &method, const QString &json);
    QString expand(QString text) const
    {
        return text.replace(u"$HOME"_s, home->path());
    }

    std::unique_ptr<TestUtil::FakeHome> home;
    TestUtil::ServiceProcess service;
    QString runs;
};

QString TestDBusWorkflow::call(const QString &method, const QString &json)
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(u"org.velari.sorvex.orlek"_s, u"/org/velari/sorvex/orlek"_s, u"org.velari.sorvex.orlek.SearchPlugin"_s, method);
    message << json;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        return u"error: "_s + reply.errorMessage();
    }
    const QVariant value = reply.arguments().constFirst();
    return value.typeId() == QMetaType::Bool ? (value.toBool() ? u"true"_s : u"false"_s) : value.toString();
}

void TestDBusWorkflow::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    home = std::make_unique<TestUtil::FakeHome>();
    QVERIFY(home->isValid());
    runs = home->filePath(u"runs.log"_s);

    for (const char *folder : {"IdeaProjects/shop", "PycharmProjects/ml-lab", "src/shared", "src/my app"}) {
        QVERIFY(home->mkpath(QString::fromUtf8(folder)));
    }

    // IntelliJ IDEA, as it writes its list; shared is its newest project.
    QVERIFY(home->write(u".config/JetBrains/IntelliJIdea2024.1/options/recentProjects.xml"_s,
        "<application>\n"
        "  <component name=\"RecentProjectsManager\">\n"
        "    <option name=\"additionalInfo\">\n"
        "      <map>\n"
        "        <entry key=\"$USER_HOME$/IdeaProjects/shop\">\n"
        "          <value>\n"
        "            <RecentProjectMetaInfo frameTitle=\"shop\" projectWorkspaceId=\"2bWx1\">\n"
        "              <option name=\"build\" value=\"IU-241.14494.240\" />\n"
        "              <option name=\"productionCode\" value=\"IU\" />\n"
        "              <option name=\"projectOpenTimestamp\" value=\"1717000000000\" />\n"
        "            </RecentProjectMetaInfo>\n"
        "          </value>\n"
        "        </entry>\n"
        "        <entry key=\"$USER_HOME$/src/shared\">\n"
        "          <value>\n"
        "            <RecentProjectMetaInfo opened=\"true\">\n"
        "              <option name=\"projectOpenTimestamp\" value=\"1719000000000\" />\n"
        "            </RecentProjectMetaInfo>\n"
        "          </value>\n"
        "        </entry>\n"
        "      </map>\n"
        "    </option>\n"
        "    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/IdeaProjects\" />\n"
        "  </component>\n"
        "</application>"));
    QVERIFY(home->write(u".config/JetBrains/PyCharm2024.2/options/recentProjects.xml"_s,
        "<application>\n"
        "  <component name=\"RecentProjectsManager\">\n"
        "    <option name=\"additionalInfo\">\n"
        "      <map>\n"
        "        <entry key=\"$USER_HOME$/PycharmProjects/ml-lab\">\n"
        "          <value>\n"
        "            <RecentProjectMetaInfo>\n"
        "              <option name=\"projectOpenTimestamp\" value=\"1718000000000\" />\n"
        "            </RecentProjectMetaInfo>\n"
        "          </value>\n"
        "        </entry>\n"
        "      </map>\n"
        "    </option>\n"
        "  </component>\n"
        "</application>"));

    // VS Code's state database, older than every JetBrains record.
    const QString db = home->filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    QVERIFY(home->mkpath(u".config/Code/User/globalStorage"_s));
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fixture"_s);
        writer.setDatabaseName(db);
        QVERIFY(writer.open());
        QSqlQuery query(writer);
        QVERIFY(query.exec(u"CREATE TABLE ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB)"_s));
        QVERIFY(query.prepare(u"INSERT INTO ItemTable (key, value) VALUES (?, ?)"_s));
        query.addBindValue(u"history.recentlyOpenedPathsList"_s);
        query.addBindValue(expand(u"{\"entries\":[{\"folderUri\":\"file://$HOME/src/my%20app\"},{\"folderUri\":\"file://$HOME/src/shared\"},"
                                  "{\"fileUri\":\"file://$HOME/notes.txt\"}]}"_s));
        QVERIFY(query.exec());
    }
    QSqlDatabase::removeDatabase(u"fixture"_s);
    QVERIFY(TestUtil::setModificationTime(db, 1716000000000));

    // How they are opened: IntelliJ IDEA through its desktop entry, VS Code by its command.
    const QString ideaScript = home->filePath(u"opt/idea/bin/idea.sh"_s);
    QVERIFY(TestUtil::writeRecordingProgram(ideaScript, runs));
    QVERIFY(home->write(u".local/share/applications/jetbrains-idea.desktop"_s,
        "[Desktop Entry]\nType=Application\nName=IntelliJ IDEA Ultimate\nExec=\"" + QFile::encodeName(ideaScript) + "\" %u\n"));
    QVERIFY(TestUtil::writeRecordingProgram(home->binDir() + u"/code"_s, runs));
    QVERIFY(TestUtil::writeRecordingProgram(home->binDir() + u"/xdg-open"_s, runs));

    QVERIFY2(service.start(), qPrintable(service.log()));
}

void TestDBusWorkflow::cleanupTestCase()
{
    QVERIFY2(service.stop(), qPrintable(service.log()));
    home.reset();
}

void TestDBusWorkflow::search_data()
{
    QTest::addColumn<QString>("cont");
    QTest::addColumn<QString>("answer");

    QTest::newRow("a JetBrains project by name")
        << u"shop"_s
        << u"{\"cont\":[{\"group\":\"IntelliJ IDEA\",\"items\":[{\"icon\":\"idea\",\"item\":\"000|$HOME/IdeaProjects/shop\","
           "\"name\":\"shop ($HOME/IdeaProjects/shop)\",\"type\":\"ide/recent-project\"}]}],\"mID\":\"m\",\"ver\":\"1.0\"}"_s;
    QTest::newRow("the jb prefix alone lists every JetBrains project, newest first")
        << u"jb"_s
        << u"{\"cont\":[{\"group\":\"IntelliJ IDEA\",\"items\":["
           "{\"icon\":\"idea\",\"item\":\"000|$HOME/src/shared\",\"name\":\"shared ($HOME/src/shared)\",\"type\":\"ide/recent-project\"},"
           "{\"icon\":\"idea\",\"item\":\"002|$HOME/IdeaProjects/shop\",\"name\":\"shop ($HOME/IdeaProjects/shop)\",\"type\":\"ide/recent-project\"}]},"
           "{\"group\":\"PyCharm\",\"items\":["
           "{\"icon\":\"pycharm\",\"item\":\"001|$HOME/PycharmProjects/ml-lab\",\"name\":\"ml-lab ($HOME/PycharmProjects/ml-lab)\","
           "\"type\":\"ide/recent-project\"}]}],\"mID\":\"m\",\"ver\":\"1.0\"}"_s;
    QTest::newRow("the vsc prefix lists VS Code's folders")
        << u"vsc"_s
        << u"{\"cont\":[{\"group\":\"VS Code\",\"items\":["
           "{\"icon\":\"code\",\"item\":\"000|$HOME/src/my app\",\"name\":\"my app ($HOME/src/my app)\",\"type\":\"ide/recent-project\"},"
           "{\"icon\":\"code\",\"item\":\"001|$HOME/src/shared\",\"name\":\"shared ($HOME/src/shared)\",\"type\":\"ide/recent-project\"}]}],"
           "\"mID\":\"m\",\"ver\":\"1.0\"}"_s;
}

void TestDBusWorkflow::search()
{
    QFETCH(QString, cont);
    QFETCH(QString, answer);
    const QString json
        = QString::fromUtf8(QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, u"m"_s}, {u"cont"_s, cont}}).toJson(QJsonDocument::Compact));
    QCOMPARE(call(u"Search"_s, json), expand(answer));
}

void TestDBusWorkflow::sharedFolderIsTheVscodeEntry()
{
    // IntelliJ IDEA opened it last, but VS Code's record is read first.
    QCOMPARE(call(u"Search"_s, u"{\"ver\":\"1.0\",\"mID\":\"m\",\"cont\":\"src\"}"_s),
        expand(u"{\"cont\":[{\"group\":\"VS Code\",\"items\":["
               "{\"icon\":\"code\",\"item\":\"000|$HOME/src/my app\",\"name\":\"my app ($HOME/src/my app)\",\"type\":\"ide/recent-project\"},"
               "{\"icon\":\"code\",\"item\":\"001|$HOME/src/shared\",\"name\":\"shared ($HOME/src/shared)\",\"type\":\"ide/recent-project\"}]}],"
               "\"mID\":\"m\",\"ver\":\"1.0\"}"_s));
}

void TestDBusWorkflow::searchThenActionStartsTheRecordingIde_data()
{
    QTest::addColumn<QString>("cont");
    QTest::addColumn<QString>("started");
    QTest::newRow("a JetBrains project starts the IDE's desktop entry") << u"shop"_s << u"idea.sh <$HOME/IdeaProjects/shop>\n"_s;
    QTest::newRow("a VS Code folder starts the editor's command") << u"my app"_s << u"code <$HOME/src/my app>\n"_s;
}

void TestDBusWorkflow::searchThenActionStartsTheRecordingIde()
{
    QFETCH(QString, cont);
    QFETCH(QString, started);
    QFile::remove(runs);

    const QString json
        = QString::fromUtf8(QJsonDocument(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, u"a"_s}, {u"cont"_s, cont}}).toJson(QJsonDocument::Compact));
    const QJsonArray groups = QJsonDocument::fromJson(call(u"Search"_s, json).toUtf8()).object().value(u"cont"_s).toArray();
    QCOMPARE(groups.size(), 1);
    const QString item = groups.at(0)[u"items"_s][0][u"item"_s].toString();
    QVERIFY(item.startsWith(u"000|"_s));

    const QString action = QString::fromUtf8(QJsonDocument(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, item}}).toJson(QJsonDocument::Compact));
    QCOMPARE(call(u"Action"_s, action), u"true"_s);
    QTRY_COMPARE(TestUtil::readText(runs), expand(started));
}

QTEST_GUILESS_MAIN(TestDBusWorkflow)
#include "tst_dbusworkflow.moc"
