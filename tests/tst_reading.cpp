// What each source reads from homes that case rows describe.

#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"
#include "sources/zedprojectsource.h"
#include "testutil.h"

class tst_Reading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jetbrains_data()
    {
        addRows(u"jetbrains.txt"_s, {"home", "entries"});
    }
    void jetbrains()
    {
        checkCollected(JetbrainsProjectSource(), "org.velari.sorvex.orlek.jetbrains");
    }

    void vscode_data()
    {
        addRows(u"vscode.txt"_s, {"home", "entries"});
    }
    void vscode()
    {
        checkCollected(VscodeProjectSource(), "org.velari.sorvex.orlek.vscode");
    }

    void zed_data()
    {
        addRows(u"zed.txt"_s, {"home", "entries"});
    }
    void zed()
    {
        checkCollected(ZedProjectSource(), "org.velari.sorvex.orlek.zed");
    }
};

QTEST_GUILESS_MAIN(tst_Reading)
#include "tst_reading.moc"
