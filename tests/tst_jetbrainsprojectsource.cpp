#include "testutil.h"

#include "service/orlek.h"
#include "sources/jetbrainsprojectsource.h"

#include <QCollator>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTest>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

namespace
{
// Modification time of the recent-projects files written here; no timestamp
// recorded inside them equals it, so describe() can name it.
constexpr qint64 fileTime = 1700000000000;

struct Recent {
    QString key;
    qint64 opened = -1; // no projectOpenTimestamp when negative
};

// A recent-projects file as the IDEs have written it since 2020: one map
// entry per project with its meta info, then the loose options.
QByteArray recentProjectsXml(const QList<Recent> &recents, const QString &lastOpened = QString(), const QByteArray &component = "RecentProjectsManager")
{
    QByteArray xml = "<application>\n  <component name=\"" + component + "\">\n    <option name=\"additionalInfo\">\n      <map>\n";
    for (const Recent &recent : recents) {
        xml += "        <entry key=\"" + recent.key.toHtmlEscaped().toUtf8() + "\">\n          <value>\n            <RecentProjectMetaInfo>\n";
        xml += "              <frame x=\"0\" y=\"38\" width=\"1920\" height=\"1042\" />\n";
        xml += "              <option name=\"activationTimestamp\" value=\"" + QByteArray::number(qMax(recent.opened, fileTime) + 500) + "\" />\n";
        xml += "              <option name=\"binFolder\" value=\"$APPLICATION_HOME_DIR$/bin\" />\n";
        xml += "              <option name=\"build\" value=\"IU-241.14494.240\" />\n";
        xml += "              <option name=\"productionCode\" value=\"IU\" />\n";
        if (recent.opened >= 0) {
            xml += "              <option name=\"projectOpenTimestamp\" value=\"" + QByteArray::number(recent.opened) + "\" />\n";
        }
        xml += "            </RecentProjectMetaInfo>\n          </value>\n        </entry>\n";
    }
    xml += "      </map>\n    </option>\n";
    if (!lastOpened.isEmpty()) {
        xml += "    <option name=\"lastOpenedProject\" value=\"" + lastOpened.toHtmlEscaped().toUtf8() + "\" />\n";
    }
    xml += "    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/IdeaProjects\" />\n  </component>\n</application>\n";
    return xml;
}

// Loose component content, for the cases the IDEs do not write themselves.
QByteArray componentXml(const QByteArray &body)
{
    return "<application>\n  <component name=\"RecentProjectsManager\">\n" + body + "  </component>\n</application>\n";
}

QByteArray fixture(const QString &name)
{
    QFile file(QFINDTESTDATA(u"data/jetbrains/"_s + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString homeRelative(const QString &path)
{
    const QString home = QDir::homePath();
    return path.startsWith(home + u'/') ? u"~"_s + path.mid(home.size()) : path;
}

// "~/dev/app 1712000000000" per entry, "file" standing for the file time.
QStringList describe(const QList<ProjectEntry> &entries)
{
    QStringList result;
    for (const ProjectEntry &entry : entries) {
        result.append(homeRelative(entry.path) + u' ' + (entry.lastOpened == fileTime ? u"file"_s : QString::number(entry.lastOpened)));
    }
    return result;
}

const JetbrainsIde &ide(const QString &prefix)
{
    for (const JetbrainsIde &row : jetbrainsIdes()) {
        if (row.configPrefix == prefix) {
            return row;
        }
    }
    qFatal("no catalogue row");
}

QString usingLine(const QString &product, const QString &dir, int count)
{
    return u"%1 : using \"%2\" %3 items"_s.arg(product, dir).arg(count);
}
} // namespace

class TestJetbrainsProjectSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void readRecentFile_data();
    void readRecentFile();
    void addRecentProject_data();
    void addRecentProject();

    void versionFolderChoice_data();
    void versionFolderChoice();
    void versionOrderInEveryLocale_data();
    void versionOrderInEveryLocale();
    void ideaEditionsFeedTwoRows();
    void androidStudioOnlyUnderGoogle();
    void riderListsProjectsAndSolutions_data();
    void riderListsProjectsAndSolutions();
    void laterDuplicateWins_data();
    void laterDuplicateWins();
    void keepsTheTwentyNewest();
    void equalTimesKeepTheFileOrder();
};

void TestJetbrainsProjectSource::initTestCase()
{
    QLoggingCategory::setFilterRules(u"org.velari.sorvex.orlek.jetbrains.debug=true"_s);
}

void TestJetbrainsProjectSource::readRecentFile_data()
{
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<QByteArray>("xml"); // without a fixture; null: no file at all
    QTest::addColumn<QStringList>("dirs"); // home-relative, created before reading
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("the current layout offers entries in file order and lastOpenedProject at the file time")
        << u"recentProjects.xml"_s << QByteArray()
        << QStringList{u"dev/R&D"_s, u"IdeaProjects/legacy-ui"_s, u"IdeaProjects/inventory"_s, u"dev/billing service"_s} << QStringList()
        << QStringList{u"~/dev/R&D 1711900000000"_s,
               u"~/IdeaProjects/legacy-ui file"_s,
               u"~/IdeaProjects/inventory 1712130000000"_s,
               u"~/dev/billing service 1712250000000"_s,
               u"~/dev/billing service file"_s};
    QTest::newRow("the older layout offers its recentPaths list, openPaths and lastPath at the file time")
        << u"recentProjects-2019.xml"_s << QByteArray() << QStringList{u"PycharmProjects/scraper"_s, u"PycharmProjects/notebooks"_s} << QStringList()
        << QStringList{u"~/PycharmProjects/scraper 1580000000000"_s,
               u"~/PycharmProjects/scraper file"_s,
               u"~/PycharmProjects/scraper file"_s,
               u"~/PycharmProjects/scraper file"_s,
               u"~/PycharmProjects/notebooks file"_s};
    QTest::newRow("Rider's solutions file offers solution and project files")
        << u"recentSolutions.xml"_s << QByteArray() << QStringList() << QStringList{u"RiderProjects/Shop/Shop.sln"_s, u"RiderProjects/Api/src/Api.csproj"_s}
        << QStringList{u"~/RiderProjects/Api/src/Api.csproj 1712300000000"_s,
               u"~/RiderProjects/Shop/Shop.sln 1712400000000"_s,
               u"~/RiderProjects/Shop/Shop.sln file"_s};
    QTest::newRow("a file cut off inside an entry keeps the entries completed before the cut")
        << u"recentProjects-truncated.xml"_s << QByteArray() << QStringList{u"go/src/cli"_s, u"go/src/server"_s} << QStringList()
        << QStringList{u"~/go/src/cli 1712000000000"_s};
    QTest::newRow("a mismatched end tag keeps what was read before it")
        << QString()
        << componentXml("    <option name=\"lastOpenedProject\" value=\"$USER_HOME$/dev/a\" />\n"
                        "    <option name=\"recentPaths\"><list></option>\n"
                        "    <option name=\"lastOpenedProject\" value=\"$USER_HOME$/dev/b\" />\n")
        << QStringList{u"dev/a"_s, u"dev/b"_s} << QStringList() << QStringList{u"~/dev/a file"_s};
    QTest::newRow("inside an entry every option but projectOpenTimestamp is ignored")
        << QString()
        << componentXml("    <entry key=\"$USER_HOME$/dev/a\">\n"
                        "      <option name=\"lastOpenedProject\" value=\"$USER_HOME$/dev/b\" />\n"
                        "      <option name=\"binFolder\" value=\"$USER_HOME$/dev/b\" />\n"
                        "      <option name=\"projectOpenTimestamp\" value=\"1712000000000\" />\n"
                        "    </entry>\n")
        << QStringList{u"dev/a"_s, u"dev/b"_s} << QStringList() << QStringList{u"~/dev/a 1712000000000"_s};
    QTest::newRow("the default folders for new projects are never projects")
        << QString()
        << componentXml("    <option name=\"lastProjectCreationLocation\" value=\"$USER_HOME$/dev\" />\n"
                        "    <option name=\"lastProjectLocation\" value=\"$USER_HOME$/dev\" />\n"
                        "    <option value=\"$USER_HOME$/dev/a\" />\n")
        << QStringList{u"dev/a"_s} << QStringList() << QStringList{u"~/dev/a file"_s};
    QTest::newRow("a timestamp that is no number gives 0") << QString()
                                                           << componentXml("    <entry key=\"$USER_HOME$/dev/a\">\n"
                                                                           "      <option name=\"projectOpenTimestamp\" value=\"17120000000OO\" />\n"
                                                                           "    </entry>\n")
                                                           << QStringList{u"dev/a"_s} << QStringList() << QStringList{u"~/dev/a 0"_s};
    QTest::newRow("an entry inside an entry takes over the one current path")
        << QString()
        << componentXml("    <entry key=\"$USER_HOME$/dev/outer\">\n"
                        "      <entry key=\"$USER_HOME$/dev/inner\">\n"
                        "        <option name=\"projectOpenTimestamp\" value=\"1712000000000\" />\n"
                        "      </entry>\n"
                        "    </entry>\n")
        << QStringList{u"dev/outer"_s, u"dev/inner"_s} << QStringList() << QStringList{u"~/dev/inner 1712000000000"_s};
    QTest::newRow("an empty file yields nothing") << QString() << QByteArray("") << QStringList() << QStringList() << QStringList();
    QTest::newRow("a missing file yields nothing") << QString() << QByteArray() << QStringList() << QStringList() << QStringList();
}

void TestJetbrainsProjectSource::readRecentFile()
{
    QFETCH(QString, fixtureName);
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, dirs);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    for (const QString &dir : std::as_const(dirs)) {
        QVERIFY(home.mkpath(dir));
    }
    for (const QString &file : std::as_const(files)) {
        QVERIFY(home.write(file, "Microsoft Visual Studio Solution File, Format Version 12.00\n"));
    }
    if (!fixtureName.isEmpty()) {
        xml = fixture(fixtureName);
        QVERIFY(!xml.isEmpty());
    }
    const QString path = home.filePath(u"options/recentProjects.xml"_s);
    if (!xml.isNull()) {
        QVERIFY(home.write(u"options/recentProjects.xml"_s, xml, fileTime));
    }

    QCOMPARE(describe(JetbrainsProjectSource::readRecentFile(path, ide(u"IntelliJIdea"_s), QString())), expected);
}

void TestJetbrainsProjectSource::addRecentProject_data()
{
    // "<home>" in a recorded path and "~" in the expected one stand for the
    // home folder; an empty expected path means the entry is dropped.
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("expectedPath");
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("$USER_HOME$ is expanded") << u"$USER_HOME$/dev/app"_s << u"~/dev/app"_s << u"app"_s;
    QTest::newRow("$USER_HOME$ alone is the home folder") << u"$USER_HOME$"_s << u"~"_s << u"<homename>"_s;
    QTest::newRow("an absolute path is kept as recorded") << u"<home>/dev/app"_s << u"~/dev/app"_s << u"app"_s;
    QTest::newRow("a solution file is named without its suffix") << u"$USER_HOME$/dev/shop/Shop.sln"_s << u"~/dev/shop/Shop.sln"_s << u"Shop"_s;
    QTest::newRow("a file loses only its last suffix") << u"$USER_HOME$/dev/backup.tar.gz"_s << u"~/dev/backup.tar.gz"_s << u"backup.tar"_s;
    QTest::newRow("a folder keeps the dots of its name") << u"$USER_HOME$/dev/my.app"_s << u"~/dev/my.app"_s << u"my.app"_s;
    QTest::newRow("a trailing slash keeps the path but leaves no name") << u"$USER_HOME$/dev/app/"_s << u"~/dev/app/"_s << QString();
    QTest::newRow("a relative path is dropped") << u"dev/app"_s << QString() << QString();
    QTest::newRow("a tilde is not expanded") << u"~/dev/app"_s << QString() << QString();
    QTest::newRow("a Windows path is dropped") << u"C:/Users/anna/dev/app"_s << QString() << QString();
    QTest::newRow("another macro is not expanded") << u"$APPLICATION_CONFIG_DIR$/light-edit"_s << QString() << QString();
    QTest::newRow("the macro is case-sensitive") << u"$user_home$/dev/app"_s << QString() << QString();
    QTest::newRow("a macro without its closing dollar is not expanded") << u"$USER_HOME/dev/app"_s << QString() << QString();
    QTest::newRow("a path that no longer exists is dropped") << u"$USER_HOME$/dev/gone"_s << QString() << QString();
    QTest::newRow("an empty path is dropped") << QString() << QString() << QString();
    QTest::newRow("a path that a NUL would cut short to an existing one is dropped")
        << u"$USER_HOME$/dev/app"_s + QChar(u'\0') + u"/gone"_s << QString() << QString();
}

void TestJetbrainsProjectSource::addRecentProject()
{
    QFETCH(QString, recorded);
    QFETCH(QString, expectedPath);
    QFETCH(QString, expectedName);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    QVERIFY(home.mkpath(u"dev/app"_s));
    QVERIFY(home.mkpath(u"dev/my.app"_s));
    QVERIFY(home.write(u"dev/shop/Shop.sln"_s, "\n"));
    QVERIFY(home.write(u"dev/backup.tar.gz"_s, "\n"));
    recorded.replace(u"<home>"_s, home.path());
    if (expectedPath.startsWith(u'~')) {
        expectedPath.replace(0, 1, home.path());
    }
    expectedName.replace(u"<homename>"_s, QFileInfo(home.path()).fileName());

    // Appends behind what is already there.
    QList<ProjectEntry> list(1);
    JetbrainsProjectSource::addRecentProject(ide(u"PyCharm"_s), QString(), list, recorded, 1712000000000);
    if (expectedPath.isEmpty()) {
        QCOMPARE(list.size(), 1);
        return;
    }
    QCOMPARE(list.size(), 2);
    const ProjectEntry &entry = list.at(1);
    QCOMPARE(entry.path, expectedPath);
    QCOMPARE(entry.id, expectedPath);
    QCOMPARE(entry.name, expectedName);
    QCOMPARE(entry.sourceId, u"jetbrains"_s);
    QCOMPARE(entry.ideName, u"PyCharm"_s);
    QCOMPARE(entry.ideKey, u"pycharm"_s);
    QCOMPARE(entry.icon, u"pycharm"_s);
    QCOMPARE(entry.lastOpened, 1712000000000);
}

void TestJetbrainsProjectSource::versionFolderChoice_data()
{
    // Home-relative version folders with what each holds ("projects": a
    // recent-projects file naming ~/work/<folder name>, which exists;
    // "stale": the same without the project; "no file"; "not xml"; "empty":
    // the folder alone). Every folder read logs "product|folder".
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("used");

    QTest::newRow("the newest version is read and the older one is not") << QStringList{u".config/JetBrains/PyCharm2023.3=projects"_s,
        u".config/JetBrains/PyCharm2024.1=projects"_s} << QStringList{u"PyCharm|.config/JetBrains/PyCharm2024.1"_s};
    QTest::newRow("an older version is used when the newest has no recent-projects file") << QStringList{u".config/JetBrains/PyCharm2023.3=projects"_s,
        u".config/JetBrains/PyCharm2024.1=no file"_s} << QStringList{u"PyCharm|.config/JetBrains/PyCharm2023.3"_s};
    QTest::newRow("an older version is used when none of the newest's projects exist") << QStringList{u".config/JetBrains/PyCharm2023.3=projects"_s,
        u".config/JetBrains/PyCharm2024.1=stale"_s} << QStringList{u"PyCharm|.config/JetBrains/PyCharm2023.3"_s};
    QTest::newRow("an older version is used when the newest's file is no XML") << QStringList{u".config/JetBrains/PyCharm2023.3=projects"_s,
        u".config/JetBrains/PyCharm2024.1=not xml"_s} << QStringList{u"PyCharm|.config/JetBrains/PyCharm2023.3"_s};
    QTest::newRow("2024.10 is newer than 2024.9") << QStringList{u".config/JetBrains/IntelliJIdea2024.9=projects"_s,
        u".config/JetBrains/IntelliJIdea2024.10=projects"_s,
        u".config/JetBrains/IntelliJIdea2024.2=projects"_s}
                                                  << QStringList{u"IntelliJ IDEA|.config/JetBrains/IntelliJIdea2024.10"_s};
    QTest::newRow("a three-part version is newer than its two-part release") << QStringList{u".config/Google/AndroidStudio2024.3.2=projects"_s,
        u".config/Google/AndroidStudio2024.3=projects"_s} << QStringList{u"Android Studio|.config/Google/AndroidStudio2024.3.2"_s};
    QTest::newRow("a PyCharmCE folder belongs to PyCharm")
        << QStringList{u".config/JetBrains/PyCharmCE2023.2=projects"_s} << QStringList{u"PyCharm|.config/JetBrains/PyCharmCE2023.2"_s};
    QTest::newRow("products report in catalogue order")
        << QStringList{u".config/JetBrains/Aqua2024.1=projects"_s,
               u".config/JetBrains/GoLand2024.1=projects"_s,
               u".config/JetBrains/CLion2023.2=projects"_s,
               u".config/JetBrains/CLion2024.1=projects"_s}
        << QStringList{u"CLion|.config/JetBrains/CLion2024.1"_s, u"GoLand|.config/JetBrains/GoLand2024.1"_s, u"Aqua|.config/JetBrains/Aqua2024.1"_s};
    QTest::newRow("prefixes are compared case-sensitively")
        << QStringList{u".config/JetBrains/pycharm2024.1=projects"_s, u".config/JetBrains/Webstorm2024.1=projects"_s} << QStringList();
    QTest::newRow("XDG_CONFIG_HOME is not followed") << QStringList{u"xdg-config/JetBrains/PyCharm2024.1=projects"_s} << QStringList();
    QTest::newRow("empty roots give nothing") << QStringList{u".config/JetBrains=empty"_s, u".config/Google=empty"_s} << QStringList();
    QTest::newRow("no roots at all give nothing") << QStringList() << QStringList();
}

void TestJetbrainsProjectSource::versionFolderChoice()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, used);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    for (const QString &folder : std::as_const(folders)) {
        const QString dir = folder.section(u'=', 0, 0);
        const QString holds = folder.section(u'=', 1);
        const QString project = u"work/"_s + QFileInfo(dir).fileName();
        const QString file = dir + u"/options/recentProjects.xml"_s;
        if (holds == u"empty"_s) {
            QVERIFY(home.mkpath(dir));
        } else if (holds == u"no file"_s) {
            QVERIFY(home.mkpath(dir + u"/options"_s));
        } else if (holds == u"not xml"_s) {
            QVERIFY(home.write(file, "{\"recentProjects\": [\"" + QFile::encodeName(home.filePath(project)) + "\"]}\n", fileTime));
            QVERIFY(home.mkpath(project));
        } else {
            QVERIFY(home.write(file, recentProjectsXml({{u"$USER_HOME$/"_s + project, 1712000000000}}), fileTime));
            if (holds == u"projects"_s) {
                QVERIFY(home.mkpath(project));
            }
        }
    }

    QStringList expectedLines;
    QStringList expectedEntries;
    for (const QString &line : std::as_const(used)) {
        const QString dir = line.section(u'|', 1);
        expectedLines.append(usingLine(line.section(u'|', 0, 0), home.filePath(dir), 1));
        expectedEntries.append(u"~/work/"_s + QFileInfo(dir).fileName() + u" 1712000000000"_s);
    }

    TestUtil::MessageRecorder log;
    const QList<ProjectEntry> entries = JetbrainsProjectSource().collectProjects();
    QCOMPARE(log.texts(u"org.velari.sorvex.orlek.jetbrains"_s, QtDebugMsg), expectedLines);
    QCOMPARE(describe(entries), expectedEntries);
}

void TestJetbrainsProjectSource::versionOrderInEveryLocale_data()
{
    QTest::addColumn<QString>("locale"); // empty: the process's own

    QTest::newRow("the process's locale, German collating as C") << QString();
    QTest::newRow("a default locale of C") << u"C"_s;
    QTest::newRow("English") << u"en_US"_s;
    QTest::newRow("German") << u"de_DE"_s;
    QTest::newRow("Simplified Chinese") << u"zh_CN"_s;
}

void TestJetbrainsProjectSource::versionOrderInEveryLocale()
{
    QFETCH(QString, locale);

    if (locale.isEmpty()) {
        // main() set up the environment; without it this row proves nothing.
        QCOMPARE(QLocale().language(), QLocale::German);
        QCOMPARE(QCollator().locale().language(), QLocale::C);
    } else {
        QLocale::setDefault(QLocale(locale));
    }
    const auto restoreLocale = qScopeGuard([] {
        QLocale::setDefault(QLocale::system());
    });

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    for (const QString &version : {u"2023.3"_s, u"2024.9"_s, u"2024.10"_s, u"2024.2"_s}) {
        QVERIFY(home.mkpath(u"work/"_s + version));
        QVERIFY(home.write(u".config/JetBrains/IntelliJIdea%1/options/recentProjects.xml"_s.arg(version),
            recentProjectsXml({{u"$USER_HOME$/work/"_s + version, 1712000000000}}),
            fileTime));
    }

    TestUtil::MessageRecorder log;
    const QList<ProjectEntry> entries = JetbrainsProjectSource().collectProjects();
    QCOMPARE(log.texts(u"org.velari.sorvex.orlek.jetbrains"_s, QtDebugMsg),
        QStringList{usingLine(u"IntelliJ IDEA"_s, home.filePath(u".config/JetBrains/IntelliJIdea2024.10"_s), 1)});
    QCOMPARE(describe(entries), QStringList{u"~/work/2024.10 1712000000000"_s});
}

void TestJetbrainsProjectSource::ideaEditionsFeedTwoRows()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    for (const QString &project : {u"work/shared"_s, u"work/community"_s, u"work/ultimate"_s}) {
        QVERIFY(home.mkpath(project));
    }
    QVERIFY(home.write(u".config/JetBrains/IdeaIC2024.1/options/recentProjects.xml"_s,
        recentProjectsXml({{u"$USER_HOME$/work/shared"_s, 1712000000000}, {u"$USER_HOME$/work/community"_s, 1712100000000}}),
        fileTime));
    QVERIFY(home.write(u".config/JetBrains/IntelliJIdea2024.1/options/recentProjects.xml"_s,
        recentProjectsXml({{u"$USER_HOME$/work/ultimate"_s, 1712200000000}, {u"$USER_HOME$/work/shared"_s, 1712300000000}}),
        fileTime));

    TestUtil::MessageRecorder log;
    const QList<ProjectEntry> entries = JetbrainsProjectSource().collectProjects();
    QCOMPARE(log.texts(u"org.velari.sorvex.orlek.jetbrains"_s, QtDebugMsg),
        (QStringList{usingLine(u"IntelliJ IDEA"_s, home.filePath(u".config/JetBrains/IntelliJIdea2024.1"_s), 2),
            usingLine(u"IntelliJ IDEA"_s, home.filePath(u".config/JetBrains/IdeaIC2024.1"_s), 2)}));
    // Catalogue order, newest first within a row; a project both editions
    // know is reported by each.
    QCOMPARE(describe(entries),
        (QStringList{
            u"~/work/shared 1712300000000"_s, u"~/work/ultimate 1712200000000"_s, u"~/work/community 1712100000000"_s, u"~/work/shared 1712000000000"_s}));
    for (const ProjectEntry &entry : entries) {
        QCOMPARE(entry.ideName, u"IntelliJ IDEA"_s);
        QCOMPARE(entry.ideKey, u"idea"_s);
        QCOMPARE(entry.icon, u"idea"_s);
    }
}

void TestJetbrainsProjectSource::androidStudioOnlyUnderGoogle()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    for (const QString &project : {u"AndroidStudioProjects/WeatherApp"_s, u"AndroidStudioProjects/Flashlight"_s, u"IdeaProjects/inventory"_s}) {
        QVERIFY(home.mkpath(project));
    }
    const QByteArray studio = fixture(u"recentProjects-studio.xml"_s);
    QVERIFY(home.write(u".config/Google/AndroidStudio2024.1/options/recentProjects.xml"_s, studio, fileTime));
    // Newer, but in the wrong root; and a JetBrains product where only
    // Android Studio lives.
    QVERIFY(home.write(u".config/JetBrains/AndroidStudio2024.2/options/recentProjects.xml"_s, studio, fileTime));
    QVERIFY(home.write(u".config/Google/IntelliJIdea2024.1/options/recentProjects.xml"_s, fixture(u"recentProjects.xml"_s), fileTime));

    TestUtil::MessageRecorder log;
    const QList<ProjectEntry> entries = JetbrainsProjectSource().collectProjects();
    QCOMPARE(log.texts(u"org.velari.sorvex.orlek.jetbrains"_s, QtDebugMsg),
        QStringList{usingLine(u"Android Studio"_s, home.filePath(u".config/Google/AndroidStudio2024.1"_s), 2)});
    QCOMPARE(describe(entries), (QStringList{u"~/AndroidStudioProjects/Flashlight 1712480000000"_s, u"~/AndroidStudioProjects/WeatherApp 1712400000000"_s}));
    for (const ProjectEntry &entry : entries) {
        QCOMPARE(entry.ideName, u"Android Studio"_s);
        QCOMPARE(entry.ideKey, u"androidstudio"_s);
        QCOMPARE(entry.icon, u"android-studio"_s);
        QCOMPARE(entry.sourceId, u"jetbrains"_s);
    }
}

void TestJetbrainsProjectSource::riderListsProjectsAndSolutions_data()
{
    QTest::addColumn<QString>("translation");
    QTest::addColumn<QString>("solutionsGroup");

    QTest::newRow("untranslated") << QString() << u"Rider - Solutions"_s;
    QTest::newRow("in German") << u"de"_s << u"Rider – Projektmappen"_s;
}

void TestJetbrainsProjectSource::riderListsProjectsAndSolutions()
{
    QFETCH(QString, translation);
    QFETCH(QString, solutionsGroup);

    QTranslator translator;
    if (!translation.isEmpty()) {
        QVERIFY(translator.load(u"orlek-plugin_"_s + translation, QCoreApplication::applicationDirPath() + u"/translations"_s));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    const auto removeTranslator = qScopeGuard([&translator] {
        QCoreApplication::removeTranslator(&translator);
    });

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    QVERIFY(home.mkpath(u"RiderProjects/Tools"_s));
    QVERIFY(home.write(u"RiderProjects/Shop/Shop.sln"_s, "\n"));
    QVERIFY(home.write(u"RiderProjects/Api/src/Api.csproj"_s, "\n"));
    QVERIFY(home.write(u".config/JetBrains/Rider2024.1/options/recentProjects.xml"_s, fixture(u"recentProjects-rider.xml"_s), fileTime));
    QVERIFY(home.write(u".config/JetBrains/Rider2024.1/options/recentSolutions.xml"_s, fixture(u"recentSolutions.xml"_s), fileTime));

    TestUtil::MessageRecorder log;
    const QList<ProjectEntry> entries = JetbrainsProjectSource().collectProjects();
    QCOMPARE(log.texts(u"org.velari.sorvex.orlek.jetbrains"_s, QtDebugMsg),
        QStringList{usingLine(u"Rider"_s, home.filePath(u".config/JetBrains/Rider2024.1"_s), 3)});
    // Both files merged newest first; the solution both list appears once.
    QStringList groups;
    for (const ProjectEntry &entry : entries) {
        groups.append(entry.name + u" | "_s + entry.ideName);
    }
    QCOMPARE(groups, (QStringList{u"Shop | "_s + solutionsGroup, u"Tools | Rider"_s, u"Api | "_s + solutionsGroup}));
}

void TestJetbrainsProjectSource::laterDuplicateWins_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("projects");
    QTest::addColumn<QByteArray>("solutions"); // null: no solutions file
    QTest::addColumn<QString>("expected");

    const QString app = u"$USER_HOME$/work/app"_s;
    QTest::newRow("an entry opened after the file time beats lastOpenedProject")
        << u"PyCharm2024.1"_s << recentProjectsXml({{app, fileTime + 1000}}, app) << QByteArray() << u"~/work/app 1700000001000 PyCharm"_s;
    QTest::newRow("lastOpenedProject's file time beats an older entry")
        << u"PyCharm2024.1"_s << recentProjectsXml({{app, fileTime - 1000}}, app) << QByteArray() << u"~/work/app file PyCharm"_s;
    QTest::newRow("a solution opened later from the solutions file is grouped under Solutions")
        << u"Rider2024.1"_s << recentProjectsXml({{app, 1712000000000}}) << recentProjectsXml({{app, 1712000000001}}, QString(), "RiderRecentProjectsManager")
        << u"~/work/app 1712000000001 Rider - Solutions"_s;
    QTest::newRow("on equal times the projects file, read first, wins")
        << u"Rider2024.1"_s << recentProjectsXml({{app, 1712000000000}}) << recentProjectsXml({{app, 1712000000000}}, QString(), "RiderRecentProjectsManager")
        << u"~/work/app 1712000000000 Rider"_s;
}

void TestJetbrainsProjectSource::laterDuplicateWins()
{
    QFETCH(QString, folder);
    QFETCH(QByteArray, projects);
    QFETCH(QByteArray, solutions);
    QFETCH(QString, expected);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    QVERIFY(home.mkpath(u"work/app"_s));
    const QString options = u".config/JetBrains/"_s + folder + u"/options/"_s;
    QVERIFY(home.write(options + u"recentProjects.xml"_s, projects, fileTime));
    if (!solutions.isNull()) {
        QVERIFY(home.write(options + u"recentSolutions.xml"_s, solutions, fileTime));
    }

    const QList<ProjectEntry> entries = JetbrainsProjectSource().collectProjects();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(describe(entries).constFirst() + u' ' + entries.constFirst().ideName, expected);
}

void TestJetbrainsProjectSource::keepsTheTwentyNewest()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    // p01 to p25, p25 opened last, written in a scrambled order as the map
    // moves reopened projects to its end; p23 was recorded with a trailing
    // slash, and lastOpenedProject repeats p25 at the file time, which is
    // newer still: the repeat must not take a place among the twenty.
    QList<Recent> recents;
    for (int i = 0; i < 25; ++i) {
        const int n = (i * 7) % 25 + 1;
        const QString project = u"work/p%1"_s.arg(n, 2, 10, QLatin1Char('0'));
        QVERIFY(home.mkpath(project));
        recents.append({u"$USER_HOME$/"_s + project + (n == 23 ? u"/"_s : QString()), 1712000000000 + n * 1000});
    }
    const qint64 written = 1712000026000;
    QVERIFY(home.write(u".config/JetBrains/WebStorm2024.1/options/recentProjects.xml"_s, recentProjectsXml(recents, u"$USER_HOME$/work/p25"_s), written));

    QStringList expected{u"~/work/p25 %1"_s.arg(written)};
    for (int n = 24; n > 5; --n) {
        expected.append(u"~/work/p%1%2 %3"_s.arg(n, 2, 10, QLatin1Char('0')).arg(n == 23 ? u"/"_s : QString()).arg(1712000000000 + n * 1000));
    }

    TestUtil::MessageRecorder log;
    JetbrainsProjectSource source;
    const QList<ProjectEntry> entries = source.collectProjects();
    QCOMPARE(log.texts(u"org.velari.sorvex.orlek.jetbrains"_s, QtDebugMsg),
        QStringList{usingLine(u"WebStorm"_s, home.filePath(u".config/JetBrains/WebStorm2024.1"_s), 20)});
    QCOMPARE(describe(entries), expected);
    QCOMPARE(entries.at(2).name, QString());

    // The nameless entry took its place among the twenty and is dropped
    // only when the sources' entries are gathered.
    Orlek orlek;
    orlek.addSource(&source);
    expected.removeAt(2);
    QCOMPARE(describe(orlek.collectAll()), expected);
}

void TestJetbrainsProjectSource::equalTimesKeepTheFileOrder()
{
    // The older layout lists its recent paths newest first, all at the file
    // time: that order decides which twenty are kept.
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    QByteArray paths;
    QStringList expected;
    for (int i = 0; i < 25; ++i) {
        const QString project = u"PycharmProjects/app%1"_s.arg((i * 11) % 25);
        QVERIFY(home.mkpath(project));
        paths += "        <option value=\"$USER_HOME$/" + project.toUtf8() + "\" />\n";
        if (i < 20) {
            expected.append(u"~/"_s + project + u" file"_s);
        }
    }
    QVERIFY(home.write(u".config/JetBrains/PyCharm2020.1/options/recentProjects.xml"_s,
        componentXml("    <option name=\"recentPaths\">\n      <list>\n" + paths + "      </list>\n    </option>\n"),
        fileTime));

    QCOMPARE(describe(JetbrainsProjectSource().collectProjects()), expected);
}

int main(int argc, char *argv[])
{
    // A session that speaks German but collates as C (LC_COLLATE=C; LANG=C,
    // as on CI, collates the same): the service's default locale is then
    // German, its default collator C's, which ignores numeric mode.
    qunsetenv("LC_ALL");
    qputenv("LANG", "de_DE.UTF-8");
    qputenv("LC_COLLATE", "C");
    QCoreApplication app(argc, argv);
    TestJetbrainsProjectSource test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_jetbrainsprojectsource.moc"
