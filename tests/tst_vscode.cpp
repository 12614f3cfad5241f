// What the Vscode source reads from homes that case rows describe.

#include "sources/vscodeprojectsource.h"
#include "testutil.h"

class tst_Vscode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void collect_data()
    {
        addRows(u"vscode.txt"_s, {"home", "entries"});
    }

    void collect()
    {
        QFETCH(QString, home);
        QFETCH(QString, entries);
        FakeHome fakeHome;
        QVERIFY(fakeHome.build(home));
        const Collected collected("org.velari.sorvex.orlek.vscode");
        QCOMPARE(collected.text(VscodeProjectSource().collectProjects(), fakeHome), entries);
    }
};

QTEST_GUILESS_MAIN(tst_Vscode)
#include "tst_vscode.moc"
