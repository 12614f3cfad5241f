#include "fakesource.h"
#include "testutil.h"

#include "launch/defaulthandler.h"
#include "service/orlek.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Overrides only what it must, so the base class's defaults are exercised.
class BareSource : public ProjectSource
{
public:
    QString id() const override
    {
        return u"bare"_s;
    }
    QString displayName() const override
    {
        return u"Bare"_s;
    }
    QList<ProjectEntry> collectProjects() const override
    {
        return {};
    }
};

QStringList paths(const QList<ProjectEntry> &entries)
{
    QStringList result;
    for (const ProjectEntry &entry : entries) {
        result.append(entry.path);
    }
    return result;
}
} // namespace

class TestProjectSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchKeywordPrefix_data();
    void matchKeywordPrefix();
    void matchKeywordPrefixWithoutRest();

    void addSourceIgnoresNullAndDuplicates();
    void sourceByIdReturnsFirstRegistered();
    void collectAllDropsIncompleteEntries();

    void defaultMatchPrefixNeverMatches();
    void defaultOpenUsesDefaultHandler();
    void defaultHandlerWithoutXdgOpenFails();
};

void TestProjectSource::matchKeywordPrefix_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("aliases");
    QTest::addColumn<bool>("matched");
    QTest::addColumn<QString>("rest");

    const QStringList jb{u"jb"_s};
    const QString untouched = u"untouched"_s;
    // A null rest is written as QString(); the test tells null from empty.
    QTest::newRow("an alias in other case keeps the inner spaces of the remainder") << u"JB foo  bar"_s << jb << true << u"foo  bar"_s;
    QTest::newRow("an alias alone gives a null remainder") << u"jb"_s << jb << true << QString();
    QTest::newRow("spaces after the alias give an empty, not null, remainder") << u"jb   "_s << jb << true << u""_s;
    QTest::newRow("the remainder is trimmed at both ends") << u"jb   my project  "_s << jb << true << u"my project"_s;
    QTest::newRow("a word that only begins with the alias does not match") << u"jbfoo"_s << jb << false << untouched;
    QTest::newRow("a tab does not separate words") << u"jb\tfoo"_s << jb << false << untouched;
    QTest::newRow("a leading space leaves an empty first word") << u" jb foo"_s << jb << false << untouched;
    QTest::newRow("an empty keyword does not match") << QString() << jb << false << untouched;
    QTest::newRow("the second alias matches too") << u"VSCODE app"_s << QStringList{u"vsc"_s, u"vscode"_s} << true << u"app"_s;
    QTest::newRow("an alias is never a partial word") << u"vs app"_s << QStringList{u"vsc"_s, u"vscode"_s} << false << untouched;
    QTest::newRow("case is ignored beyond ASCII") << u"ÉDITEUR x"_s << QStringList{u"éditeur"_s} << true << u"x"_s;
    QTest::newRow("no aliases match nothing") << u"jb x"_s << QStringList() << false << untouched;
}

void TestProjectSource::matchKeywordPrefix()
{
    QFETCH(QString, keyword);
    QFETCH(QStringList, aliases);
    QFETCH(bool, matched);
    QFETCH(QString, rest);

    QString actual = u"untouched"_s;
    QCOMPARE(::matchKeywordPrefix(keyword, aliases, &actual), matched);
    QCOMPARE(actual, rest);
    QCOMPARE(actual.isNull(), rest.isNull());
}

void TestProjectSource::matchKeywordPrefixWithoutRest()
{
    QVERIFY(::matchKeywordPrefix(u"jb foo"_s, {u"jb"_s}, nullptr));
    QVERIFY(!::matchKeywordPrefix(u"jx foo"_s, {u"jb"_s}, nullptr));
}

void TestProjectSource::addSourceIgnoresNullAndDuplicates()
{
    FakeSource a(u"a"_s);
    a.entries = {a.entry(u"/p/a"_s, u"a"_s, 1)};
    Orlek orlek;
    orlek.addSource(&a);
    orlek.addSource(nullptr);
    orlek.addSource(&a);

    QCOMPARE(paths(orlek.collectAll()), QStringList{u"/p/a"_s});
    QCOMPARE(a.collections, 1);
}

void TestProjectSource::sourceByIdReturnsFirstRegistered()
{
    FakeSource first(u"same"_s, u"First"_s);
    FakeSource second(u"same"_s, u"Second"_s);
    FakeSource other(u"other"_s);
    Orlek orlek;
    orlek.addSource(&first);
    orlek.addSource(&second);
    orlek.addSource(&other);

    QCOMPARE(orlek.sourceById(u"same"_s), &first);
    QCOMPARE(orlek.sourceById(u"other"_s), &other);
    QCOMPARE(orlek.sourceById(u"Same"_s), nullptr);
    QCOMPARE(orlek.sourceById(QString()), nullptr);
}

void TestProjectSource::collectAllDropsIncompleteEntries()
{
    FakeSource first(u"first"_s);
    FakeSource second(u"second"_s);
    ProjectEntry noId = first.entry(u"/p/no-id"_s, u"no-id"_s, 1);
    noId.id.clear();
    ProjectEntry noPath = first.entry(u"/p/no-path"_s, u"no-path"_s, 1);
    noPath.path.clear();
    first.entries = {first.entry(u"/p/1"_s, u"one"_s, 5), noId, first.entry(u"/p/no-name/"_s, QString(), 9), noPath, first.entry(u"/p/2"_s, u"two"_s, 1)};
    second.entries = {second.entry(u"/p/3"_s, u"three"_s, 7), second.entry(u"/p/1"_s, u"one"_s, 2)};

    Orlek orlek;
    orlek.addSource(&first);
    orlek.addSource(&second);

    // Registration order, each source's own order, duplicates kept.
    const QList<ProjectEntry> all = orlek.collectAll();
    QCOMPARE(paths(all), (QStringList{u"/p/1"_s, u"/p/2"_s, u"/p/3"_s, u"/p/1"_s}));
    QCOMPARE(all.at(3).sourceId, u"second"_s);
    QCOMPARE(first.collections, 1);
    QCOMPARE(second.collections, 1);
}

void TestProjectSource::defaultMatchPrefixNeverMatches()
{
    BareSource source;
    QString rest = u"untouched"_s;
    QVERIFY(!source.matchPrefix(u"bare x"_s, &rest));
    QVERIFY(!source.matchPrefix(u"bare"_s, &rest));
    QCOMPARE(rest, u"untouched"_s);
}

void TestProjectSource::defaultOpenUsesDefaultHandler()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString log = home.filePath(u"xdg-open.log"_s);
    QVERIFY(TestUtil::writeRecordingProgram(home.binDir() + u"/xdg-open"_s, log));

    BareSource source;
    ProjectEntry entry;
    entry.id = entry.path = home.filePath(u"my project"_s);
    entry.name = u"my project"_s;
    QVERIFY(source.open(entry));
    QTRY_COMPARE(TestUtil::readText(log), u"xdg-open <%1>\n"_s.arg(entry.path));

    QVERIFY(openWithDefaultHandler(u"/tmp/a b/100%"_s));
    QTRY_VERIFY(TestUtil::readText(log).endsWith(u"xdg-open </tmp/a b/100%>\n"_s));
}

void TestProjectSource::defaultHandlerWithoutXdgOpenFails()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    qputenv("PATH", QFile::encodeName(home.binDir()));
    QVERIFY(!openWithDefaultHandler(home.path()));
}

QTEST_GUILESS_MAIN(TestProjectSource)
#include "tst_projectsource.moc"
