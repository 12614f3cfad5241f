// What the VS Code source reads from homes that case rows describe.

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
        checkCollected(VscodeProjectSource(), "org.velari.sorvex.orlek.vscode");
    }
};

QTEST_GUILESS_MAIN(tst_Vscode)
#include "tst_vscode.moc"
