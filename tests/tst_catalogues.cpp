#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"

#include <QSet>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestCatalogues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jetbrainsRowsInReadingOrder();
    void jetbrainsIrregularRows();
    void jetbrainsLookupByKey_data();
    void jetbrainsLookupByKey();
    void vscodeRows();

    void sourceIdentity();
    void prefixes_data();
    void prefixes();

    void entryDisplayName_data();
    void entryDisplayName();
};

void TestCatalogues::jetbrainsRowsInReadingOrder()
{
    QStringList keys;
    for (const JetbrainsIde &ide : jetbrainsIdes()) {
        keys.append(ide.ideKey);
        // Every row but Android Studio follows one naming pattern.
        if (ide.ideKey != u"androidstudio"_s) {
            QCOMPARE(ide.desktopNames, (QStringList{u"jetbrains-"_s + ide.ideKey, ide.ideKey}));
            QCOMPARE(ide.iconName, ide.ideKey);
            QVERIFY(ide.configPrefix.compare(ide.ideKey, Qt::CaseInsensitive) == 0 || ide.ideKey == u"idea"_s);
        }
    }
    QCOMPARE(keys.size(), 14);
    // Both IntelliJ IDEA editions share one key; every other key is unique.
    QCOMPARE(keys.count(u"idea"_s), 2);
    QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), 13);
    // Built once: every call hands out the same table.
    QCOMPARE(&jetbrainsIdes(), &jetbrainsIdes());
}

void TestCatalogues::jetbrainsIrregularRows()
{
    const JetbrainsIde &ultimate = jetbrainsIdes().at(0);
    const JetbrainsIde &community = jetbrainsIdes().at(1);
    QCOMPARE(QLatin1String(ultimate.productName), "IntelliJ IDEA"_L1);
    QCOMPARE(QLatin1String(community.productName), "IntelliJ IDEA"_L1);
    QCOMPARE(ultimate.toolboxNames, QStringList{u"IDEA"_s});
    QCOMPARE(community.desktopNames, ultimate.desktopNames);

    const JetbrainsIde &studio = jetbrainsIdes().at(13);
    QCOMPARE(QLatin1String(studio.productName), "Android Studio"_L1);
    QCOMPARE(studio.desktopNames, (QStringList{u"android-studio"_s, u"androidstudio"_s}));
    QCOMPARE(studio.toolboxNames, QStringList{u"android-studio"_s});
    QCOMPARE(studio.iconName, u"android-studio"_s);
    QCOMPARE(studio.ideKey, u"androidstudio"_s);
}

void TestCatalogues::jetbrainsLookupByKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("row");
    QTest::newRow("idea finds the first IntelliJ row, never the second") << u"idea"_s << 0;
    QTest::newRow("androidstudio finds Android Studio") << u"androidstudio"_s << 13;
    QTest::newRow("the icon name android-studio is no key") << u"android-studio"_s << -1;
    QTest::newRow("keys are case-sensitive") << u"PyCharm"_s << -1;
}

void TestCatalogues::jetbrainsLookupByKey()
{
    QFETCH(QString, key);
    QFETCH(int, row);
    const QList<JetbrainsIde> &ides = jetbrainsIdes();
    const auto it = std::find_if(ides.cbegin(), ides.cend(), [&key](const JetbrainsIde &ide) {
        return ide.ideKey == key;
    });
    QCOMPARE(it == ides.cend() ? -1 : int(it - ides.cbegin()), row);
}

void TestCatalogues::vscodeRows()
{
    const QList<VscodeVariant> &variants = vscodeVariants();
    QCOMPARE(variants.size(), 5);
    for (const VscodeVariant &v : variants) {
        // VSCodium is started as "codium" but shown with the "vscodium" icon.
        QCOMPARE(v.iconName, v.executable == u"codium"_s ? u"vscodium"_s : v.executable);
        // Only VS Code itself has the shared state database.
        QCOMPARE(v.sharedStateDb.isEmpty(), v.configDir != u"Code"_s);
    }
    QCOMPARE(variants.constFirst().sharedStateDb, u".vscode-shared/sharedStorage/state.vscdb"_s);
}

void TestCatalogues::sourceIdentity()
{
    const JetbrainsProjectSource jetbrains;
    const VscodeProjectSource vscode;
    QCOMPARE(jetbrains.id(), u"jetbrains"_s);
    QCOMPARE(vscode.id(), u"vscode"_s);
    // No translation is loaded here.
    QCOMPARE(jetbrains.displayName(), u"JetBrains IDEs"_s);
    QCOMPARE(vscode.displayName(), u"VS Code"_s);
}

void TestCatalogues::prefixes_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("matched");
    QTest::addColumn<QString>("rest");

    QTest::newRow("JB with words") << u"jetbrains"_s << u"JB react app"_s << true << u"react app"_s;
    QTest::newRow("Jetbrains alone gives a null remainder") << u"jetbrains"_s << u"Jetbrains"_s << true << QString();
    QTest::newRow("jh with spaces around the remainder") << u"jetbrains"_s << u"jh   my project  "_s << true << u"my project"_s;
    QTest::newRow("jbr is no alias") << u"jetbrains"_s << u"jbr x"_s << false << u"-"_s;
    QTest::newRow("jetbrain is no alias") << u"jetbrains"_s << u"jetbrain"_s << false << u"-"_s;
    QTest::newRow("a product key is no alias") << u"jetbrains"_s << u"idea x"_s << false << u"-"_s;
    QTest::newRow("VSC alone gives a null remainder") << u"vscode"_s << u"VSC"_s << true << QString();
    QTest::newRow("vscode keeps inner spaces") << u"vscode"_s << u"vscode my  app "_s << true << u"my  app"_s;
    QTest::newRow("vs is no alias") << u"vscode"_s << u"vs app"_s << false << u"-"_s;
    QTest::newRow("vscodium is no alias") << u"vscode"_s << u"vscodium"_s << false << u"-"_s;
    QTest::newRow("code is no alias") << u"vscode"_s << u"code app"_s << false << u"-"_s;
    QTest::newRow("a tab after vsc keeps one word") << u"vscode"_s << u"vsc\tapp"_s << false << u"-"_s;
    QTest::newRow("the other source's alias does not match") << u"vscode"_s << u"jb app"_s << false << u"-"_s;
}

void TestCatalogues::prefixes()
{
    QFETCH(QString, source);
    QFETCH(QString, keyword);
    QFETCH(bool, matched);
    QFETCH(QString, rest);

    const JetbrainsProjectSource jetbrains;
    const VscodeProjectSource vscode;
    const ProjectSource &s = source == u"vscode"_s ? static_cast<const ProjectSource &>(vscode) : jetbrains;
    QString actual = u"-"_s;
    QCOMPARE(s.matchPrefix(keyword, &actual), matched);
    QCOMPARE(actual, rest);
    QCOMPARE(actual.isNull(), rest.isNull());
    QCOMPARE(s.matchPrefix(keyword, nullptr), matched);
}

void TestCatalogues::entryDisplayName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");
    QTest::newRow("a folder is named by its last component") << u"/src/app"_s << QString() << u"app"_s;
    QTest::newRow("a workspace file loses its suffix") << u"/w/team.code-workspace"_s << QString() << u"team"_s;
    QTest::newRow("only the last suffix goes") << u"/w/team.v2.code-workspace"_s << QString() << u"team.v2"_s;
    QTest::newRow("another suffix stays") << u"/w/notes.txt"_s << QString() << u"notes.txt"_s;
    QTest::newRow("the suffix is case-sensitive") << u"/w/team.Code-Workspace"_s << QString() << u"team.Code-Workspace"_s;
    QTest::newRow("a label wins, trimmed") << u"/src/app"_s << u"  My App "_s << u"My App"_s;
    QTest::newRow("a label of spaces is ignored") << u"/src/app"_s << u"   "_s << u"app"_s;
    QTest::newRow("a trailing slash gives an empty name") << u"/src/app/"_s << QString() << QString();
}

void TestCatalogues::entryDisplayName()
{
    QFETCH(QString, path);
    QFETCH(QString, label);
    QFETCH(QString, name);
    QCOMPARE(::entryDisplayName(path, label), name);
}

QTEST_GUILESS_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
