#include "testutil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTest>

#include <signal.h>

using namespace Qt::Literals::StringLiterals;

// Installs the build into a temporary prefix and lets a private bus start the
// installed service on demand, as a desktop session does.
class TestInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installsTheFiles();
    void unitLeavesLaunchedProgramsAlone();
    void stagedInstallNamesTheFinalPath();
    void busActivationStartsTheInstalledService();

private:
    bool install(const QString &prefix, const QString &destDir = QString());

    QTemporaryDir dir;
    QString prefix;
};

bool TestInstall::install(const QString &installPrefix, const QString &destDir)
{
    QProcess cmake;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!destDir.isEmpty()) {
        env.insert(u"DESTDIR"_s, destDir);
    }
    cmake.setProcessEnvironment(env);
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(ORLEK_CMAKE_COMMAND), {u"--install"_s, QStringLiteral(ORLEK_BINARY_DIR), u"--prefix"_s, installPrefix});
    if (!cmake.waitForFinished(60000) || cmake.exitStatus() != QProcess::NormalExit || cmake.exitCode() != 0) {
        qWarning() << "cmake --install failed:" << cmake.readAll();
        return false;
    }
    return true;
}

void TestInstall::initTestCase()
{
    QVERIFY(dir.isValid());
    prefix = dir.filePath(u"prefix with blank"_s);
    QVERIFY(install(prefix));
}

void TestInstall::installsTheFiles()
{
    QVERIFY(QFileInfo(prefix + u"/bin/orlek-plugin"_s).isExecutable());
    QVERIFY(QFileInfo::exists(prefix + u"/share/orlek-plugin/translations/orlek-plugin_de.qm"_s));
    QVERIFY(QFileInfo::exists(prefix + u"/share/orlek-plugin/translations/orlek-plugin_zh_CN.qm"_s));

    const QStringList activation = TestUtil::readText(prefix + u"/share/dbus-1/services/org.velari.sorvex.orlek.service"_s).split(u'\n');
    QCOMPARE(activation.value(0), u"[D-BUS Service]"_s);
    QVERIFY(activation.contains(u"Name=org.velari.sorvex.orlek"_s));
    // Quoted, since the prefix holds a blank.
    QVERIFY(activation.contains(u"Exec=\"%1/bin/orlek-plugin\""_s.arg(prefix)));
    QVERIFY(activation.contains(u"SystemdService=orlek-plugin.service"_s));
}

void TestInstall::unitLeavesLaunchedProgramsAlone()
{
    const QStringList unit = TestUtil::readText(prefix + u"/lib/systemd/user/orlek-plugin.service"_s).split(u'\n');
    QVERIFY(unit.contains(u"[Service]"_s));
    QVERIFY(unit.contains(u"Type=dbus"_s));
    QVERIFY(unit.contains(u"BusName=org.velari.sorvex.orlek"_s));
    QVERIFY(unit.contains(u"ExecStart=\"%1/bin/orlek-plugin\""_s.arg(prefix)));
    // IDEs started by the service share its control group.
    QVERIFY(unit.contains(u"KillMode=process"_s));
}

void TestInstall::stagedInstallNamesTheFinalPath()
{
    // A package build stages the files under DESTDIR; they still name the final place.
    const QString stage = dir.filePath(u"stage"_s);
    QVERIFY(install(u"/usr"_s, stage));
    QVERIFY(QFileInfo(stage + u"/usr/bin/orlek-plugin"_s).isExecutable());
    const QString activation = TestUtil::readText(stage + u"/usr/share/dbus-1/services/org.velari.sorvex.orlek.service"_s);
    QVERIFY2(activation.contains(u"\nExec=/usr/bin/orlek-plugin\n"_s), qPrintable(activation));
    QVERIFY(QFileInfo::exists(stage + u"/usr/share/orlek-plugin/translations/orlek-plugin_de.qm"_s));
}

void TestInstall::busActivationStartsTheInstalledService()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString config = dir.filePath(u"session.conf"_s);
    QVERIFY(TestUtil::writeFile(config,
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n"
        "  <type>session</type>\n"
        "  <listen>unix:tmpdir=/tmp</listen>\n"
        "  <servicedir>"
            + QFile::encodeName(prefix).replace("&", "&amp;")
            + "/share/dbus-1/services</servicedir>\n"
              "  <policy context=\"default\">\n"
              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
              "    <allow eavesdrop=\"true\"/>\n"
              "    <allow own=\"*\"/>\n"
              "  </policy>\n"
              "</busconfig>\n"));

    // Activated services inherit the bus daemon's environment.
    QProcess bus;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LANG"_s, u"de_DE.UTF-8"_s);
    env.insert(u"LC_ALL"_s, u"de_DE.UTF-8"_s);
    bus.setProcessEnvironment(env);
    bus.start(u"dbus-daemon"_s, {u"--config-file=%1"_s.arg(config), u"--nofork"_s, u"--print-address=1"_s});
    QVERIFY(bus.waitForStarted());
    auto stopBus = qScopeGuard([&bus] {
        bus.terminate();
        bus.waitForFinished(5000);
    });
    QTRY_VERIFY(bus.canReadLine());
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();

    QDBusConnection connection = QDBusConnection::connectToBus(address, u"install-test"_s);
    auto disconnect = qScopeGuard([] {
        QDBusConnection::disconnectFromBus(u"install-test"_s);
    });
    QVERIFY2(connection.isConnected(), qPrintable(connection.lastError().message()));
    QVERIFY(!connection.interface()->isServiceRegistered(u"org.velari.sorvex.orlek"_s));

    QDBusMessage search
        = QDBusMessage::createMethodCall(u"org.velari.sorvex.orlek"_s, u"/org/velari/sorvex/orlek"_s, u"org.velari.sorvex.orlek.SearchPlugin"_s, u"Search"_s);
    search << u"{\"ver\":\"1.0\",\"mID\":\"1\",\"cont\":\"vsc\"}"_s;
    const QDBusMessage reply = connection.call(search, QDBus::Block, 20000);
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage() + QString::fromUtf8(bus.readAllStandardError())));
    QCOMPARE(reply.arguments(), QVariantList{u"{\"cont\":[],\"mID\":\"1\",\"ver\":\"1.0\"}"_s});

    // The installed program answered, not the build tree's.
    const uint pid = connection.interface()->servicePid(u"org.velari.sorvex.orlek"_s).value();
    QVERIFY(pid > 0);
    // The service outlives its bus; end it before the bus goes.
    auto stopService = qScopeGuard([pid] {
        ::kill(pid_t(pid), SIGTERM);
    });
    QCOMPARE(QFileInfo(u"/proc/%1/exe"_s.arg(pid)).symLinkTarget(), prefix + u"/bin/orlek-plugin"_s);

    // Its start-up lines reach the bus daemon's error output.
    QString log;
    QTRY_VERIFY2((log += QString::fromUtf8(bus.readAllStandardError())).contains(u"Orlek plugin locale: de_DE, translation loaded: yes"_s), qPrintable(log));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
