// Opening a project through a real source in homes that case rows describe:
// what open() answers, which programs started, the warnings written, and
// the scopes a systemd user manager on the test bus was asked for.

#include "launch/desktopfile.h"
#include "sources/allsources.h"
#include "testutil.h"

#include <QtDBus>

// Records each StartTransientUnit as "scope <name> <mode> <state of its
// PIDs>" and answers as its row says: "done" (the scope is made), an error
// name, or "silent" (never).
class Manager : public QDBusVirtualObject
{
public:
    QString answer;
    QStringList calls;

    QString introspect(const QString &) const override
    {
        return QString();
    }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &bus) override
    {
        const QString unit = call.arguments().value(0).toString();
        const QDBusArgument properties = call.arguments().value(2).value<QDBusArgument>();
        QList<uint> pids;
        QString name;
        QDBusVariant value;
        for (properties.beginArray(); !properties.atEnd(); properties.endStructure()) {
            properties.beginStructure();
            properties >> name >> value;
            pids << (name == u"PIDs"_s ? qdbus_cast<QList<uint>>(value.variant()) : QList<uint>());
        }
        properties.endArray();
        // A program that waits for its scope is still a copy of this process.
        const auto waiting = [&pids] {
            return pids.size() == 1 && QFile::symLinkTarget(u"/proc/%1/exe"_s.arg(pids[0])) == QFile::symLinkTarget(u"/proc/self/exe"_s);
        };
        bool held = waiting();
        const QVariant job = QVariant::fromValue(QDBusObjectPath(u"/org/freedesktop/systemd1/job/1"_s));
        if (answer == u"done"_s) {
            bus.send(call.createReply(job));
            // Time for a program that does not wait for the job's end to run.
            QThread::msleep(50);
            held = held && waiting();
        }
        calls << u"scope %1 %2 %3"_s.arg(QString(unit).replace(QRegularExpression(u"-[0-9a-f]{8}\\.scope$"_s), u"-<random>.scope"_s),
            call.arguments().value(1).toString(),
            held ? u"waiting"_s : u"running"_s);
        if (answer == u"done"_s) {
            bus.send(QDBusMessage::createSignal(call.path(), call.interface(), u"JobRemoved"_s) << 1u << job << unit << answer);
        } else if (answer != u"silent"_s) {
            bus.send(call.createErrorReply(answer, u"refused"_s));
        }
        return true;
    }
};

class tst_Launching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void open_data()
    {
        addRows(u"launching.txt"_s, {"home", "entry", "launched", "answer"});
    }

    void open()
    {
        QFETCH(QString, home);
        QFETCH(QString, entry);
        QFETCH(QString, launched);
        QFETCH(QString, answer);
        FakeHome fakeHome;
        // In a thread of its own, as it answers while open() waits.
        Manager manager;
        QThread thread;
        manager.moveToThread(&thread);
        thread.start();
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"manager"_s);
        const auto gone = qScopeGuard([&] {
            QDBusConnection::disconnectFromBus(u"manager"_s);
            thread.quit();
            thread.wait();
        });
        // "systemd <answer>": a user manager on the bus.
        if (home.startsWith(u"systemd "_s)) {
            manager.answer = home.section(u'\n', 0, 0).mid(8);
            QVERIFY(bus.registerVirtualObject(u"/org/freedesktop/systemd1"_s, &manager) && bus.registerService(u"org.freedesktop.systemd1"_s));
        }
        QVERIFY(fakeHome.build(home.section(u'\n', manager.answer.isEmpty() ? 0 : 1)));
        // Snap's and Flatpak's system folders too are the row's own.
        systemRoot() = fakeHome.path();
        // "<source> <ideKey, - for none> <path>[\n<path>...]": the first path is shown, all of them are the id.
        const QStringList f = fakeHome.expand(entry).split(u' ');
        ProjectEntry e;
        e.id = f.mid(2).join(u' ').replace(u"\\n"_s, u"\n"_s);
        e.path = e.id.section(u'\n', 0, 0);
        e.ideKey = f.value(1) == u"-"_s ? QString() : f.value(1);
        e.sourceId = f.value(0);
        const Collected collected("org.velari.sorvex.orlek");
        // However the manager answers, a program starts at once.
        const QDeadlineTimer soon(1000);
        bool opened = false;
        for (const std::unique_ptr<ProjectSource> &source : allSources()) {
            opened = source->id() == e.sourceId ? source->open(e) : opened;
        }
        QVERIFY(!soon.hasExpired());

        const auto log = [&fakeHome] {
            QFile file(fakeHome.path() + u"/launched.log"_s);
            return file.open(QIODevice::ReadOnly) ? fakeHome.shorten(QString::fromUtf8(file.readAll())).trimmed() : QString();
        };
        QTRY_COMPARE(log(), launched);
        // Time for a program that should not have started to show up.
        QTest::qWait(300);
        QCOMPARE(log(), launched);
        compareLines((QStringList{opened ? u"true"_s : u"false"_s} << manager.calls << collected.text({}, fakeHome)).join(u'\n').trimmed(), answer);
    }
};

QTEST_GUILESS_MAIN(tst_Launching)
#include "tst_launching.moc"
