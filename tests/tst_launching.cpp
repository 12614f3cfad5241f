// Opening a project through a real source in homes that case rows describe:
// what open() answers, which programs started, and the warnings the source wrote.

#include "launch/desktopfile.h"
#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"
#include "testutil.h"

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
        QVERIFY(fakeHome.build(home));
        // Snap's and Flatpak's system folders too are the row's own.
        systemRoot() = fakeHome.path();
        // "<source> <ideKey, - for none> <path>"
        const QStringList f = fakeHome.expand(entry).split(u' ');
        const bool jetbrains = f.value(0) == u"jetbrains"_s;
        ProjectEntry e;
        e.id = e.path = f.mid(2).join(u' ');
        e.ideKey = f.value(1) == u"-"_s ? QString() : f.value(1);
        e.sourceId = f.value(0);
        const Collected collected(jetbrains ? "org.velari.sorvex.orlek.jetbrains" : "org.velari.sorvex.orlek.vscode");
        const bool opened = jetbrains ? JetbrainsProjectSource().open(e) : VscodeProjectSource().open(e);

        const auto log = [&fakeHome] {
            QFile file(fakeHome.path() + u"/launched.log"_s);
            return file.open(QIODevice::ReadOnly) ? fakeHome.shorten(QString::fromUtf8(file.readAll())).trimmed() : QString();
        };
        QTRY_COMPARE(log(), launched);
        // Time for a program that should not have started to show up.
        QTest::qWait(300);
        QCOMPARE(log(), launched);
        compareLines((QStringList{opened ? u"true"_s : u"false"_s} << collected.text({}, fakeHome)).join(u'\n').trimmed(), answer);
    }
};

QTEST_GUILESS_MAIN(tst_Launching)
#include "tst_launching.moc"
