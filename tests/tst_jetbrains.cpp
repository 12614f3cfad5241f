// What the JetBrains source reads from homes that case rows describe.

#include "sources/jetbrainsprojectsource.h"
#include "testutil.h"

class tst_Jetbrains : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void collect_data()
    {
        addRows(u"jetbrains.txt"_s, {"home", "entries"});
    }

    void collect()
    {
        checkCollected(JetbrainsProjectSource(), "org.velari.sorvex.orlek.jetbrains");
    }
};

QTEST_GUILESS_MAIN(tst_Jetbrains)
#include "tst_jetbrains.moc"
