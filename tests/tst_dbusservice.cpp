#include "testutil.h"

#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QTest>
#include <QXmlStreamReader>

#include <signal.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString serviceName = u"org.velari.sorvex.orlek"_s;
const QString objectPath = u"/org/velari/sorvex/orlek"_s;
const QString interfaceName = u"org.velari.sorvex.orlek.SearchPlugin"_s;

// "Search(s json) -> s" for every method of the interface, in the order introspection lists them.
QStringList describeMethods(const QString &xml, bool *found)
{
    QStringList methods;
    *found = false;
    QXmlStreamReader reader(xml);
    QString method;
    QStringList in;
    QStringList out;
    bool inInterface = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString name = reader.name().toString();
        if (reader.isStartElement() && name == u"interface"_s) {
            inInterface = reader.attributes().value(u"name"_s) == interfaceName;
            *found = *found || inInterface;
        } else if (reader.isEndElement() && name == u"interface"_s) {
            inInterface = false;
        } else if (!inInterface) {
            continue;
        } else if (reader.isStartElement() && name == u"method"_s) {
            method = reader.attributes().value(u"name"_s).toString();
            in.clear();
            out.clear();
        } else if (reader.isStartElement() && name == u"arg"_s) {
            const auto attributes = reader.attributes();
            const QString arg = QString(attributes.value(u"type"_s).toString() + u' ' + attributes.value(u"name"_s).toString()).trimmed();
            (attributes.value(u"direction"_s) == u"out"_s ? out : in).append(arg);
        } else if (reader.isEndElement() && name == u"method"_s) {
            methods.append(u"%1(%2) -> %3"_s.arg(method, in.join(u", "_s), out.join(u", "_s)));
        }
    }
    return methods;
}
} // namespace

class TestDBusService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void claimsItsName();
    void logsStartUp();
    void introspectionShowsTheInterface();
    void searchTravelsOverTheBus_data();
    void searchTravelsOverTheBus();
    void stopAnswersTrue_data();
    void stopAnswersTrue();
    void secondInstanceExitsWithOne();
    void loadsTranslationFromBuildTree();
    void endsCleanlyOnTerminationSignals_data();
    void endsCleanlyOnTerminationSignals();

private:
    QDBusMessage call(const QString &method, const QString &json)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, method);
        message << json;
        return QDBusConnection::sessionBus().call(message);
    }

    std::unique_ptr<TestUtil::FakeHome> home;
    TestUtil::ServiceProcess service;
};

void TestDBusService::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test needs a session bus: run it under dbus-run-session");
    QVERIFY2(!QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName), "another service owns the name on this bus");
    home = std::make_unique<TestUtil::FakeHome>();
    QVERIFY(home->isValid());
    // A known locale, whatever the caller's, so the start-up line is exact.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LC_ALL"_s, u"C"_s);
    env.insert(u"LANG"_s, u"C"_s);
    QVERIFY2(service.start(env), qPrintable(service.log()));
}

void TestDBusService::cleanupTestCase()
{
    QVERIFY2(service.stop(), qPrintable(service.log()));
}

void TestDBusService::claimsItsName()
{
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName));
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(serviceName);
    QCOMPARE(qint64(pid.value()), service.process.processId());
}

void TestDBusService::logsStartUp()
{
    QTRY_VERIFY2(
        service.log().contains(u"Orlek plugin started - Service: org.velari.sorvex.orlek, Path: /org/velari/sorvex/orlek"_s), qPrintable(service.log()));
    const QString log = service.log();
    QVERIFY2(log.contains(u"Orlek plugin locale: C, translation loaded: no"_s), qPrintable(log));
    QVERIFY2(log.contains(u"org.velari.sorvex.orlek: Orlek service initialized"_s), qPrintable(log));
}

void TestDBusService::introspectionShowsTheInterface()
{
    QDBusMessage message = QDBusMessage::createMethodCall(serviceName, objectPath, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s);
    const QDBusReply<QString> xml = QDBusConnection::sessionBus().call(message);
    QVERIFY2(xml.isValid(), qPrintable(xml.error().message()));

    bool found = false;
    const QStringList methods = describeMethods(xml.value(), &found);
    QVERIFY2(found, qPrintable(xml.value()));
    QCOMPARE(methods, (QStringList{u"Search(s json) -> s"_s, u"Action(s json) -> b"_s, u"Stop(s json) -> b"_s}));
}

void TestDBusService::searchTravelsOverTheBus_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("answer");
    QTest::newRow("a source prefix on a home without IDE files")
        << u"{\"ver\":\"1.0\",\"mID\":\"1\",\"cont\":\"vsc\"}"_s << u"{\"cont\":[],\"mID\":\"1\",\"ver\":\"1.0\"}"_s;
    QTest::newRow("a keyword and an id beyond ASCII") << u"{\"ver\":\"1.0\",\"mID\":\"Ärger-日本\",\"cont\":\"projekt\"}"_s
                                                      << u"{\"cont\":[],\"mID\":\"Ärger-日本\",\"ver\":\"1.0\"}"_s;
    QTest::newRow("an invalid request gets an empty string") << u"{\"ver\":\"2.0\",\"mID\":\"1\",\"cont\":\"vsc\"}"_s << QString();
    QTest::newRow("text that is not JSON gets an empty string") << u"vsc"_s << QString();
}

void TestDBusService::searchTravelsOverTheBus()
{
    QFETCH(QString, json);
    QFETCH(QString, answer);
    const QDBusMessage reply = call(u"Search"_s, json);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(reply.arguments(), QVariantList{answer});
}

void TestDBusService::stopAnswersTrue_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("a well-formed stop request") << u"{\"ver\":\"1.0\",\"mID\":\"42\"}"_s;
    QTest::newRow("text that is not JSON") << u"stop, please"_s;
    QTest::newRow("an empty text") << QString();
    QTest::newRow("a JSON array") << u"[1,2]"_s;
}

void TestDBusService::stopAnswersTrue()
{
    QFETCH(QString, json);
    const QDBusMessage reply = call(u"Stop"_s, json);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(reply.arguments(), QVariantList{true});
}

void TestDBusService::secondInstanceExitsWithOne()
{
    QProcess second;
    second.start(QStringLiteral(ORLEK_PLUGIN_EXECUTABLE), {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    const QString err = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(err.contains(u"Failed to register DBus service: org.velari.sorvex.orlek"_s), qPrintable(err));
    QVERIFY2(!err.contains(u"Orlek plugin started"_s), qPrintable(err));
    // The first instance still serves.
    QCOMPARE(call(u"Stop"_s, u"{}"_s).arguments(), QVariantList{true});
}

void TestDBusService::loadsTranslationFromBuildTree()
{
    QVERIFY2(service.stop(), qPrintable(service.log()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LANG"_s, u"de_DE.UTF-8"_s);
    env.insert(u"LC_ALL"_s, u"de_DE.UTF-8"_s);
    TestUtil::ServiceProcess german;
    QVERIFY2(german.start(env), qPrintable(german.log()));
    QTRY_VERIFY2(german.log().contains(u"Orlek plugin locale: de_DE, translation loaded: yes"_s), qPrintable(german.log()));
    QVERIFY2(german.stop(), qPrintable(german.log()));
}

void TestDBusService::endsCleanlyOnTerminationSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM, as the session or the unit stops it") << int(SIGTERM);
    QTest::newRow("SIGINT, as Ctrl+C in a terminal") << int(SIGINT);
}

void TestDBusService::endsCleanlyOnTerminationSignals()
{
    QFETCH(int, signal);
    TestUtil::ServiceProcess instance;
    QVERIFY2(instance.start(), qPrintable(instance.log()));
    QCOMPARE(call(u"Stop"_s, u"{}"_s).arguments(), QVariantList{true});

    QCOMPARE(::kill(pid_t(instance.process.processId()), signal), 0);
    QVERIFY(instance.process.waitForFinished(10000));
    // Under the sanitizers a report, leaks at exit included, makes the exit code non-zero.
    QCOMPARE(instance.process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(instance.process.exitCode() == 0, qPrintable(instance.log()));
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName));
}

QTEST_GUILESS_MAIN(TestDBusService)
#include "tst_dbusservice.moc"
