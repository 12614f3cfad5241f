// What the Zed source reads from homes that case rows describe.

#include "sources/zedprojectsource.h"
#include "testutil.h"

class tst_Zed : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void collect_data()
    {
        addRows(u"zed.txt"_s, {"home", "entries"});
    }

    void collect()
    {
        checkCollected(ZedProjectSource(), "org.velari.sorvex.orlek.zed");
    }
};

QTEST_GUILESS_MAIN(tst_Zed)
#include "tst_zed.moc"
