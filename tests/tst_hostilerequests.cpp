#include "testutil.h"

#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
constexpr qint64 T0 = 1700000000000;

QString compact(const QJsonValue &value)
{
    return QString::fromUtf8(
        value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact) : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
}

// A JSON text nested depth levels deep, with a request at its core.
QString nested(const QString &open, const QString &close, int depth, const QString &core)
{
    return open.repeated(depth) + core + close.repeated(depth);
}

// One value of every JSON type, none of them a string, and an empty string.
QList<std::pair<const char *, QJsonValue>> everyOtherType()
{
    return {
        {"null", QJsonValue::Null},
        {"true", true},
        {"false", false},
        {"a whole number", 1},
        {"a fraction", 1.0},
        {"a negative number", -12.5},
        {"an empty array", QJsonArray()},
        {"an array holding the right string", QJsonArray{u"1.0"_s}},
        {"an empty object", QJsonObject()},
        {"an object holding the right string", QJsonObject{{u"value"_s, u"1.0"_s}}},
    };
}

QDBusMessage methodCall(const QString &method, const QString &json)
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(u"org.velari.sorvex.orlek"_s, u"/org/velari/sorvex/orlek"_s, u"org.velari.sorvex.orlek.SearchPlugin"_s, method);
    message << json;
    return message;
}

QString searchRequest(const QString &mID, const QString &cont)
{
    return compact(QJsonObject{{u"ver"_s, u"1.0"_s}, {u"mID"_s, mID}, {u"cont"_s, cont}});
}
} // namespace

// The built service over a private bus, on a small home with one JetBrains
// and one VS Code project, answering requests that no launcher would send:
// huge, deeply nested, of the wrong JSON type, naming paths that no IDE
// recorded; ten thousand in a row; from several clients at once. Every
// program the service could start is a fake that logs outside the home.
class TestHostileRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void hostileSearch_data();
    void hostileSearch();
    void hostileAction_data();
    void hostileAction();
    void tenThousandSearchesKeepMemoryFlat();
    void severalClientsAtOnce();

private:
    QString shopAnswer(const QString &mID) const;
    QString bothAnswer(const QString &mID) const;
    QString noMatchAnswer(const QString &mID) const;
    QString emptyAnswer(const QString &mID) const;
    QString shopItem() const
    {
        return u"000|"_s + home->filePath(u"IdeaProjects/shop"_s);
    }

    std::unique_ptr<TestUtil::FakeHome> home;
    QTemporaryDir outside;
    TestUtil::ServiceProcess service;
    qint64 servicePid = 0;
    QString runs;
};

QString TestHostileRequests::shopAnswer(const QString &mID) const
{
    const QString shop = home->filePath(u"IdeaProjects/shop"_s);
    return compact(QJsonObject{
        {u"cont"_s,
            QJsonArray{QJsonObject{{u"group"_s, u"IntelliJ IDEA"_s},
                {u"items"_s,
                    QJsonArray{QJsonObject{{u"icon"_s, u"idea"_s},
                        {u"item"_s, QString(u"000|"_s + shop)},
                        {u"name"_s, QString(u"shop ("_s + shop + u")"_s)},
                        {u"type"_s, u"ide/recent-project"_s}}}}}}},
        {u"mID"_s, mID},
        {u"ver"_s, u"1.0"_s},
    });
}

QString TestHostileRequests::bothAnswer(const QString &mID) const
{
    const QString shop = home->filePath(u"IdeaProjects/shop"_s);
    const QString app = home->filePath(u"src/app"_s);
    return compact(QJsonObject{
        {u"cont"_s,
            QJsonArray{QJsonObject{{u"group"_s, u"IntelliJ IDEA"_s},
                           {u"items"_s,
                               QJsonArray{QJsonObject{{u"icon"_s, u"idea"_s},
                                   {u"item"_s, QString(u"000|"_s + shop)},
                                   {u"name"_s, QString(u"shop ("_s + shop + u")"_s)},
                                   {u"type"_s, u"ide/recent-project"_s}}}}},
                QJsonObject{{u"group"_s, u"VS Code"_s},
                    {u"items"_s,
                        QJsonArray{QJsonObject{{u"icon"_s, u"code"_s},
                            {u"item"_s, QString(u"001|"_s + app)},
                            {u"name"_s, QString(u"app ("_s + app + u")"_s)},
                            {u"type"_s, u"ide/recent-project"_s}}}}}}},
        {u"mID"_s, mID},
        {u"ver"_s, u"1.0"_s},
    });
}

QString TestHostileRequests::noMatchAnswer(const QString &mID) const
{
    return compact(QJsonObject{{u"cont"_s, QJsonArray()}, {u"mID"_s, mID}, {u"ver"_s, u"1.0"_s}});
}

QString TestHostileRequests::emptyAnswer(const QString &mID) const
{
    // Nothing typed: the same document, without reading any file.
    return noMatchAnswer(mID);
}

void TestHostileRequests::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(outside.isValid());
    home = std::make_unique<TestUtil::FakeHome>(u"requests-home"_s);
    QVERIFY(home->isValid());
    runs = outside.filePath(u"runs.log"_s);

    QVERIFY(home->mkpath(u"IdeaProjects/shop"_s));
    QVERIFY(home->mkpath(u"src/app"_s));
    QVERIFY(home->mkpath(u"src/elsewhere"_s));
    QVERIFY(home->write(u"notes.txt"_s, "not a project\n"));
    QVERIFY(home->write(u".config/JetBrains/IntelliJIdea2024.1/options/recentProjects.xml"_s,
        "<application>\n"
        "  <component name=\"RecentProjectsManager\">\n"
        "    <option name=\"additionalInfo\">\n"
        "      <map>\n"
        "        <entry key=\"$USER_HOME$/IdeaProjects/shop\">\n"
        "          <value>\n"
        "            <RecentProjectMetaInfo frameTitle=\"shop\">\n"
        "              <option name=\"projectOpenTimestamp\" value=\"1700000002000\" />\n"
        "            </RecentProjectMetaInfo>\n"
        "          </value>\n"
        "        </entry>\n"
        "      </map>\n"
        "    </option>\n"
        "  </component>\n"
        "</application>"));
    const QString db = home->filePath(u".config/Code/User/globalStorage/state.vscdb"_s);
    QVERIFY(TestUtil::writeStateDb(db, "{\"entries\":[{\"folderUri\":\"file://" + QFile::encodeName(home->filePath(u"src/app"_s)) + "\"}]}"));
    QVERIFY(TestUtil::setModificationTime(db, T0 + 1000));

    // Every program the service could start: the IDE's desktop entry, a
    // Toolbox script, every editor's command, the default handler.
    const QString ideaScript = home->filePath(u"opt/idea/bin/idea.sh"_s);
    QVERIFY(TestUtil::writeRecordingProgram(ideaScript, runs));
    QVERIFY(home->write(u".local/share/applications/jetbrains-idea.desktop"_s,
        "[Desktop Entry]\nType=Application\nName=IntelliJ IDEA Ultimate\nExec=\"" + QFile::encodeName(ideaScript) + "\" %u\n"));
    QVERIFY(TestUtil::writeRecordingProgram(home->filePath(u".local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/241.1/bin/idea.sh"_s), runs));
    for (const char *program : {"code", "code-insiders", "code-oss", "codium", "cursor", "xdg-open"}) {
        QVERIFY(TestUtil::writeRecordingProgram(home->binDir() + u'/' + QLatin1String(program), runs));
    }

    QVERIFY2(service.start(), qPrintable(service.log()));
    servicePid = service.process.processId();
}

void TestHostileRequests::cleanupTestCase()
{
    QVERIFY2(service.stop(), qPrintable(service.log()));
    home.reset();
}

void TestHostileRequests::init()
{
    QFile::remove(runs);
}

void TestHostileRequests::cleanup()
{
    // Still the same process, still serving.
    QCOMPARE(service.process.state(), QProcess::Running);
    QCOMPARE(qint64(QDBusConnection::sessionBus().interface()->servicePid(u"org.velari.sorvex.orlek"_s).value()), servicePid);
}

void TestHostileRequests::hostileSearch_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("answer");

    const QString megabyte(1024 * 1024, u'x');
    const QString blanks(512 * 1024, u' ');
    QTest::newRow("a cont of one megabyte") << searchRequest(u"m"_s, megabyte) << noMatchAnswer(u"m"_s);
    QTest::newRow("a cont of one megabyte of blanks around a keyword") << searchRequest(u"m"_s, blanks + u"shop"_s + blanks) << shopAnswer(u"m"_s);
    QTest::newRow("a one-megabyte keyword after a source prefix") << searchRequest(u"m"_s, u"jb "_s + megabyte) << noMatchAnswer(u"m"_s);
    QTest::newRow("an mID of one megabyte") << searchRequest(megabyte, u"shop"_s) << shopAnswer(megabyte);
    QTest::newRow("an mID holding a lone surrogate and a NUL") << searchRequest(u"\xd800-\0-"_s, u"shop"_s) << shopAnswer(u"\xd800-\0-"_s);
    QTest::newRow("a keyword holding a NUL") << searchRequest(u"m"_s, u"sh\0op"_s) << noMatchAnswer(u"m"_s);

    const QString request = searchRequest(u"m"_s, u"shop"_s);
    QTest::newRow("arrays nested five thousand deep") << nested(u"["_s, u"]"_s, 5000, request) << QString();
    QTest::newRow("a cont of objects nested five thousand deep")
        << u"{\"ver\":\"1.0\",\"mID\":\"m\",\"cont\":"_s + nested(u"{\"a\":"_s, u"}"_s, 5000, u"\"shop\""_s) + u"}"_s << QString();
    QTest::newRow("a cont nested a thousand deep, within the parser's limit")
        << u"{\"ver\":\"1.0\",\"mID\":\"m\",\"cont\":"_s + nested(u"["_s, u"]"_s, 1000, u"\"shop\""_s) + u"}"_s << emptyAnswer(u"m"_s);
    QTest::newRow("a top-level array holding a request") << u"["_s + request + u"]"_s << QString();
    QTest::newRow("a top-level number") << u"42"_s << QString();
    QTest::newRow("a top-level string") << u"\"shop\""_s << QString();
    QTest::newRow("a top-level null") << u"null"_s << QString();
    QTest::newRow("an empty object") << u"{}"_s << QString();
    QTest::newRow("a request followed by more text") << request + u" {}"_s << QString();
    QTest::newRow("a request cut short") << request.chopped(1) << QString();

    // Every key with every other type: a version or id that is no string
    // rejects the request; a cont that is no string counts as nothing typed.
    for (const auto &[name, value] : everyOtherType()) {
        QJsonObject ver{{u"ver"_s, value}, {u"mID"_s, u"m"_s}, {u"cont"_s, u"shop"_s}};
        QJsonObject mID{{u"ver"_s, u"1.0"_s}, {u"mID"_s, value}, {u"cont"_s, u"shop"_s}};
        QJsonObject cont{{u"ver"_s, u"1.0"_s}, {u"mID"_s, u"m"_s}, {u"cont"_s, value}};
        QTest::addRow("ver as %s", name) << compact(ver) << QString();
        QTest::addRow("mID as %s", name) << compact(mID) << QString();
        QTest::addRow("cont as %s", name) << compact(cont) << emptyAnswer(u"m"_s);
    }
}

void TestHostileRequests::hostileSearch()
{
    QFETCH(QString, request);
    QFETCH(QString, answer);
    COMPARE_ANSWER(TestUtil::callService(u"Search"_s, request, 10000), answer);
    QCOMPARE(TestUtil::callService(u"Stop"_s, request, 10000), u"true"_s);
    // The next ordinary search is answered as ever.
    COMPARE_ANSWER(TestUtil::callService(u"Search"_s, searchRequest(u"next"_s, u"requests-home"_s), 10000), bothAnswer(u"next"_s));
}

void TestHostileRequests::hostileAction_data()
{
    QTest::addColumn<QString>("request");

    const QString shop = home->filePath(u"IdeaProjects/shop"_s);
    const QString valid = compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, shopItem()}});
    for (const auto &[name, value] : everyOtherType()) {
        QTest::addRow("action as %s", name) << compact(QJsonObject{{u"action"_s, value}, {u"item"_s, shopItem()}});
        QTest::addRow("item as %s", name) << compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, value}});
    }
    QTest::newRow("an item holding the right id in an array") << compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, QJsonArray{shopItem()}}});
    QTest::newRow("a top-level array holding a valid request") << u"["_s + valid + u"]"_s;
    QTest::newRow("a valid request nested five thousand deep") << nested(u"["_s, u"]"_s, 5000, valid);
    QTest::newRow("a valid request followed by more text") << valid + u"x"_s;
    QTest::newRow("a top-level string") << u"\"openitem\""_s;
    QTest::newRow("an item of one megabyte") << compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, QString(1024 * 1024, u'/')}});

    // Paths that no IDE recorded, however near to one that it did.
    const QStringList outsiders{
        u"/"_s,
        u"/etc/passwd"_s,
        u"/bin/sh"_s,
        home->path(),
        home->filePath(u"notes.txt"_s),
        home->filePath(u"src/elsewhere"_s),
        home->filePath(u"IdeaProjects"_s),
        home->filePath(u"bin/code"_s),
        home->filePath(u"opt/idea/bin/idea.sh"_s),
        shop + u"/"_s,
        shop + u"/."_s,
        home->filePath(u"IdeaProjects/./shop"_s),
        home->filePath(u"src/../IdeaProjects/shop"_s),
        home->filePath(u"IdeaProjects/SHOP"_s),
        shop + u"\n"_s,
        shop + QChar(0),
        u"$USER_HOME$/IdeaProjects/shop"_s,
        u"file://"_s + shop,
        u"../../../../etc/passwd"_s,
    };
    for (const QString &path : outsiders) {
        QTest::addRow("the id %s", qPrintable(QString(path).replace(u'\n', u"\\n"_s).replace(QChar(0), u"\\0"_s)))
            << compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, QString(u"000|"_s + path)}});
    }
    // Number prefixes that are not three digits and a bar keep the whole
    // text as the id, and no entry has that.
    for (const QString &prefix : {u"0000|"_s, u"00|"_s, u"abc|"_s, u"000/"_s}) {
        QTest::addRow("the prefix %s before a recorded path", qPrintable(prefix))
            << compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, QString(prefix + shop)}});
    }
}

void TestHostileRequests::hostileAction()
{
    QFETCH(QString, request);
    // Twice: once with the item cache empty or missed, once after a search filled it.
    QCOMPARE(TestUtil::callService(u"Action"_s, request, 10000), u"false"_s);
    COMPARE_ANSWER(TestUtil::callService(u"Search"_s, searchRequest(u"m"_s, u"requests-home"_s), 10000), bothAnswer(u"m"_s));
    QCOMPARE(TestUtil::callService(u"Action"_s, request, 10000), u"false"_s);

    // An ordinary action starts the IDE, and that alone is in the log: a
    // program started by the calls above would have written first.
    QCOMPARE(TestUtil::callService(u"Action"_s, compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, shopItem()}}), 10000), u"true"_s);
    const QString started = u"idea.sh <"_s + home->filePath(u"IdeaProjects/shop"_s) + u">\n"_s;
    QCOMPARE(TestUtil::settledText(runs, started), started);
}

void TestHostileRequests::tenThousandSearchesKeepMemoryFlat()
{
    // Four kinds of search in turn, each with an id of its own: scoped, all
    // projects, no match, and one project.
    const auto request = [](int i) {
        static const QString conts[] = {u"jb"_s, u"requests-home"_s, u"nothing like it"_s, u"shop"_s};
        return searchRequest(QString::number(i), conts[i % 4]);
    };
    const auto expected = [this](int i) {
        const QString mID = QString::number(i);
        switch (i % 4) {
        case 1:
            return bothAnswer(mID);
        case 2:
            return noMatchAnswer(mID);
        default:
            return shopAnswer(mID);
        }
    };
    // Calls in flight at once, so the bus adds no round trip per search.
    constexpr int window = 32;
    const auto run = [&](int from, int to) -> QString {
        QList<std::pair<int, QDBusPendingCall>> pending;
        const auto settle = [&](qsizetype keep) -> QString {
            while (pending.size() > keep) {
                const auto [i, call] = pending.takeFirst();
                QDBusPendingReply<QString> reply(call);
                reply.waitForFinished();
                if (reply.isError() || reply.value() != expected(i)) {
                    return u"search %1 answered: "_s.arg(i) + (reply.isError() ? reply.error().message() : reply.value());
                }
            }
            return QString();
        };
        for (int i = from; i < to; ++i) {
            pending.append({i, QDBusConnection::sessionBus().asyncCall(methodCall(u"Search"_s, request(i)))});
            if (const QString fault = settle(window); !fault.isEmpty()) {
                return fault;
            }
        }
        return settle(0);
    };

    // Past start-up and the first allocations, then the measured run.
    QCOMPARE(run(0, 500), QString());
    const qint64 before = TestUtil::residentKiB(servicePid);
    QVERIFY(before > 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(run(500, 10500), QString());
    const qint64 after = TestUtil::residentKiB(servicePid);
    qInfo("10000 searches in %lld ms; resident memory %lld KiB before, %lld KiB after", timer.elapsed(), before, after);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed memory back for a while, so the resident
    // size says nothing here; its leak check at the service's exit does.
#else
    // Two megabytes is 200 bytes a search: any entry, connection or document
    // kept per search would show.
    QVERIFY2(after - before < 2048, qPrintable(u"grew by %1 KiB"_s.arg(after - before)));
#endif
}

void TestHostileRequests::severalClientsAtOnce()
{
    constexpr int clients = 4;
    constexpr int callsPerClient = 60;
    QList<QDBusConnection> connections;
    for (int c = 0; c < clients; ++c) {
        connections.append(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"client-%1"_s.arg(c)));
        QVERIFY(connections.constLast().isConnected());
    }
    const auto cleanup = qScopeGuard([&] {
        for (int c = 0; c < clients; ++c) {
            QDBusConnection::disconnectFromBus(u"client-%1"_s.arg(c));
        }
    });

    // Every client sends all its calls before any answer is read: searches
    // with ids of their own, stops and actions, interleaved.
    struct Call {
        QDBusPendingCall call;
        QVariant expected;
    };
    QList<Call> calls;
    const QString openShop = compact(QJsonObject{{u"action"_s, u"openitem"_s}, {u"item"_s, shopItem()}});
    for (int i = 0; i < callsPerClient; ++i) {
        for (int c = 0; c < clients; ++c) {
            const QString mID = u"c%1-%2"_s.arg(c).arg(i);
            QDBusConnection &connection = connections[c];
            switch (i % 6) {
            case 0:
                calls.append({connection.asyncCall(methodCall(u"Stop"_s, searchRequest(mID, QString()))), true});
                break;
            case 1:
                calls.append({connection.asyncCall(methodCall(u"Search"_s, searchRequest(mID, u"shop"_s))), shopAnswer(mID)});
                break;
            case 2:
                calls.append({connection.asyncCall(methodCall(u"Search"_s, searchRequest(mID, u"requests-home"_s))), bothAnswer(mID)});
                break;
            case 3:
                calls.append({connection.asyncCall(methodCall(u"Search"_s, searchRequest(mID, u"  "_s))), emptyAnswer(mID)});
                break;
            case 4:
                calls.append({connection.asyncCall(methodCall(u"Search"_s, searchRequest(mID, u"nothing like it"_s))), noMatchAnswer(mID)});
                break;
            default:
                calls.append({connection.asyncCall(methodCall(u"Action"_s, i == 5 ? openShop : searchRequest(mID, u"shop"_s))), i == 5});
                break;
            }
        }
    }

    for (int n = 0; n < calls.size(); ++n) {
        Call &call = calls[n];
        call.call.waitForFinished();
        const QDBusMessage reply = call.call.reply();
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(u"call %1: "_s.arg(n) + reply.errorMessage()));
        QCOMPARE(reply.arguments(), QVariantList{call.expected});
    }

    // One action per client opened the project, the others nothing.
    const QString started = QString(u"idea.sh <"_s + home->filePath(u"IdeaProjects/shop"_s) + u">\n"_s).repeated(clients);
    QCOMPARE(TestUtil::settledText(runs, started), started);
}

QTEST_GUILESS_MAIN(TestHostileRequests)
#include "tst_hostilerequests.moc"
