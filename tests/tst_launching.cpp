#include "testutil.h"

#include "service/logging.h"
#include "sources/jetbrainsprojectsource.h"
#include "sources/vscodeprojectsource.h"

#include <QStandardPaths>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString toolboxApps = u".local/share/JetBrains/Toolbox/apps/"_s;
const QString userApps = u".local/share/applications/"_s;
const QString systemApps = u"usr/share/applications/"_s;

QByteArray desktopFile(const QString &exec)
{
    return "[Desktop Entry]\n"
           "Version=1.0\n"
           "Type=Application\n"
           "Name=Editor\n"
           "Icon=editor\n"
           "Exec="
        + exec.toUtf8()
        + "\n"
          "Terminal=false\n"
          "StartupNotify=true\n";
}

// A fake home as a row describes it. In every text "$HOME" stands for the
// fake home. Programs are paths of recording programs; a leading "!" makes one
// that cannot start, a leading "-" one that is not executable. Desktop files
// are "<path>|<Exec value>".
class LaunchFixture
{
public:
    QString expand(const QString &text) const
    {
        return QString(text).replace(u"$HOME"_s, home.path());
    }

    QStringList expand(const QStringList &texts) const
    {
        QStringList result;
        for (const QString &text : texts) {
            result.append(expand(text));
        }
        return result;
    }

    bool build(const QStringList &programs, const QStringList &desktopFiles) const
    {
        // The default handler records like any other program.
        if (!TestUtil::writeRecordingProgram(home.binDir() + u"/xdg-open"_s, log())) {
            return false;
        }
        for (const QString &program : programs) {
            const QString path = home.filePath(program.mid(program.front() == u'!' || program.front() == u'-' ? 1 : 0));
            bool written = false;
            if (program.startsWith(u'!')) {
                written = TestUtil::writeUnstartableProgram(path);
            } else if (program.startsWith(u'-')) {
                written = TestUtil::writeFile(path, "#!/bin/sh\n");
            } else {
                written = TestUtil::writeRecordingProgram(path, log());
            }
            if (!written) {
                return false;
            }
        }
        for (const QString &desktop : desktopFiles) {
            const qsizetype bar = desktop.indexOf(u'|');
            if (!home.write(desktop.left(bar), desktopFile(expand(desktop.mid(bar + 1))))) {
                return false;
            }
        }
        return true;
    }

    QString log() const
    {
        return home.filePath(u"runs.log"_s);
    }

    // The log that the recording programs write for these lines.
    QString logText(const QStringList &lines) const
    {
        return lines.isEmpty() ? QString() : expand(lines).join(u'\n') + u'\n';
    }

    TestUtil::FakeHome home;
};

void addLaunchColumns()
{
    QTest::addColumn<QString>("ideKey");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<QStringList>("desktopFiles");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("runs");
    QTest::addColumn<QStringList>("messages");
}

ProjectEntry entryFor(const QString &sourceId, const QString &ideKey, const QString &path)
{
    ProjectEntry entry;
    entry.id = entry.path = path;
    entry.name = path.section(u'/', -1);
    entry.sourceId = sourceId;
    entry.ideKey = ideKey;
    return entry;
}
} // namespace

class TestLaunching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jetbrainsOpen_data();
    void jetbrainsOpen();
    void jetbrainsUsesOnlyTheFirstMatchingToolboxApp();

    void vscodeOpen_data();
    void vscodeOpen();
};

void TestLaunching::jetbrainsOpen_data()
{
    addLaunchColumns();

    const QString project = u"$HOME/dev/my app"_s;
    const QString ran = u"idea.sh <$HOME/dev/my app>"_s;
    const QString fallback = u"xdg-open <$HOME/dev/my app>"_s;
    const QString noLauncher = u"warning: No launcher found for \"idea\" , fallback to file manager"_s;
    auto launching = [](const QString &program, const QString &arguments) {
        return u"info: Launching \"%1\" QList(%2)"_s.arg(program, arguments);
    };
    auto viaToolbox = [](const QString &build) {
        return u"info: Launching via Toolbox: \"$HOME/.local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/%1/bin/idea.sh\" \"$HOME/dev/my app\""_s.arg(build);
    };
    const QString projectArg = u"\"$HOME/dev/my app\""_s;

    QTest::newRow("the user's desktop entry wins over the system's")
        << u"idea"_s << project << QStringList{u"opt/idea-user/bin/idea.sh"_s, u"opt/idea-system/bin/idea-system.sh"_s}
        << QStringList{systemApps + u"jetbrains-idea.desktop|\"$HOME/opt/idea-system/bin/idea-system.sh\" %u"_s,
               userApps + u"jetbrains-idea.desktop|\"$HOME/opt/idea-user/bin/idea.sh\" %u"_s}
        << true << QStringList{ran} << QStringList{launching(u"$HOME/opt/idea-user/bin/idea.sh"_s, projectArg)};
    QTest::newRow("a program on the search path gets the project as its only argument")
        << u"idea"_s << project << QStringList{u"bin/idea.sh"_s} << QStringList{systemApps + u"jetbrains-idea.desktop|idea.sh %f"_s} << true << QStringList{ran}
        << QStringList{launching(u"idea.sh"_s, projectArg)};
    QTest::newRow("a Toolbox desktop entry starts its quoted script")
        << u"idea"_s << project << QStringList{toolboxApps + u"IDEA-U/ch-0/241.14494.240/bin/idea.sh"_s}
        << QStringList{userApps + u"jetbrains-idea.desktop|\"$HOME/.local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/241.14494.240/bin/idea.sh\" %u"_s} << true
        << QStringList{ran} << QStringList{launching(u"$HOME/.local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/241.14494.240/bin/idea.sh"_s, projectArg)};
    QTest::newRow("a quoted program path with a blank is one program")
        << u"idea"_s << project << QStringList{u"opt/My IDE/bin/idea.sh"_s}
        << QStringList{systemApps + u"jetbrains-idea.desktop|\"$HOME/opt/My IDE/bin/idea.sh\" %f"_s} << true << QStringList{ran}
        << QStringList{launching(u"$HOME/opt/My IDE/bin/idea.sh"_s, projectArg)};
    QTest::newRow("escaped blanks in a quoted program path are undone")
        << u"idea"_s << project << QStringList{u"opt/My IDE/bin/idea.sh"_s}
        << QStringList{systemApps + u"jetbrains-idea.desktop|\"$HOME/opt/My\\sIDE/bin/idea.sh\" %f"_s} << true << QStringList{ran}
        << QStringList{launching(u"$HOME/opt/My IDE/bin/idea.sh"_s, projectArg)};
    QTest::newRow("a quoted argument and a comma stay whole, the project comes last")
        << u"idea"_s << project << QStringList{u"bin/idea.sh"_s}
        << QStringList{systemApps + u"jetbrains-idea.desktop|idea.sh \"--title=My Project\" %f --list=1,2"_s} << true
        << QStringList{u"idea.sh <--title=My Project> <--list=1,2> <$HOME/dev/my app>"_s}
        << QStringList{launching(u"idea.sh"_s, u"\"--title=My Project\", \"--list=1,2\", "_s + projectArg)};
    QTest::newRow("a desktop entry whose program is missing gives way to the next")
        << u"idea"_s << project << QStringList{u"bin/idea.sh"_s}
        << QStringList{userApps + u"jetbrains-idea.desktop|\"$HOME/gone/bin/idea.sh\" %u"_s, systemApps + u"jetbrains-idea.desktop|idea.sh %f"_s} << true
        << QStringList{ran} << QStringList{launching(u"$HOME/gone/bin/idea.sh"_s, projectArg), launching(u"idea.sh"_s, projectArg)};
    QTest::newRow("a desktop entry of field codes only gives way to the next")
        << u"idea"_s << project << QStringList{u"bin/idea.sh"_s}
        << QStringList{userApps + u"jetbrains-idea.desktop|%U"_s, userApps + u"jetbrains-idea-ce.desktop|idea.sh %f"_s} << true << QStringList{ran}
        << QStringList{launching(u"idea.sh"_s, projectArg)};
    QTest::newRow("a Rider solution is handed over as the file itself")
        << u"rider"_s << u"$HOME/dev/Shop/Shop.sln"_s << QStringList{u"opt/rider/bin/rider.sh"_s}
        << QStringList{systemApps + u"jetbrains-rider.desktop|\"$HOME/opt/rider/bin/rider.sh\" %f"_s} << true
        << QStringList{u"rider.sh <$HOME/dev/Shop/Shop.sln>"_s} << QStringList{launching(u"$HOME/opt/rider/bin/rider.sh"_s, u"\"$HOME/dev/Shop/Shop.sln\""_s)};
    QTest::newRow("without a desktop entry the Toolbox script starts")
        << u"idea"_s << project << QStringList{toolboxApps + u"IDEA-U/ch-0/241.14494.240/bin/idea.sh"_s} << QStringList() << true << QStringList{ran}
        << QStringList{viaToolbox(u"241.14494.240"_s)};
    QTest::newRow("when every desktop entry fails the Toolbox script starts")
        << u"idea"_s << project << QStringList{u"!opt/idea/bin/idea.sh"_s, toolboxApps + u"IDEA-U/ch-0/241.1/bin/idea.sh"_s}
        << QStringList{systemApps + u"jetbrains-idea.desktop|$HOME/opt/idea/bin/idea.sh %f"_s} << true << QStringList{ran}
        << QStringList{launching(u"$HOME/opt/idea/bin/idea.sh"_s, projectArg), viaToolbox(u"241.1"_s)};
    QTest::newRow("builds are ordered as strings, so 9.1 comes before 10.2")
        << u"idea"_s << project << QStringList{toolboxApps + u"IDEA-U/ch-0/10.2/bin/idea.sh"_s, toolboxApps + u"IDEA-U/ch-0/9.1/bin/idea.sh"_s} << QStringList()
        << true << QStringList{ran} << QStringList{viaToolbox(u"9.1"_s)};
    QTest::newRow("build 241.1 comes before 233.5") << u"idea"_s << project
                                                    << QStringList{toolboxApps + u"IDEA-U/ch-0/233.5/bin/idea.sh"_s,
                                                           toolboxApps + u"IDEA-U/ch-0/241.1/bin/idea.sh"_s}
                                                    << QStringList() << true << QStringList{ran} << QStringList{viaToolbox(u"241.1"_s)};
    QTest::newRow("a build without an executable script is passed over")
        << u"idea"_s << project << QStringList{u"-"_s + toolboxApps + u"IDEA-U/ch-0/9.1/bin/idea.sh"_s, toolboxApps + u"IDEA-U/ch-0/10.2/bin/idea.sh"_s}
        << QStringList() << true << QStringList{ran} << QStringList{viaToolbox(u"10.2"_s)};
    QTest::newRow("a failing first build is not followed by another")
        << u"idea"_s << project << QStringList{u"!"_s + toolboxApps + u"IDEA-U/ch-0/9.1/bin/idea.sh"_s, toolboxApps + u"IDEA-U/ch-0/10.2/bin/idea.sh"_s}
        << QStringList() << true << QStringList{fallback} << QStringList{viaToolbox(u"9.1"_s), noLauncher};
    QTest::newRow("a channel other than ch-0 is never found") << u"idea"_s << project << QStringList{toolboxApps + u"IDEA-U/ch-1/241.1/bin/idea.sh"_s}
                                                              << QStringList() << true << QStringList{fallback} << QStringList{noLauncher};
    QTest::newRow("another IDE's launchers are not used")
        << u"idea"_s << project << QStringList{u"bin/pycharm.sh"_s, toolboxApps + u"PyCharm-P/ch-0/241.1/bin/pycharm.sh"_s}
        << QStringList{systemApps + u"jetbrains-pycharm.desktop|pycharm.sh %f"_s} << true << QStringList{fallback} << QStringList{noLauncher};
    QTest::newRow("an IDE without launchers is opened by the file manager")
        << u"idea"_s << project << QStringList() << QStringList() << true << QStringList{fallback} << QStringList{noLauncher};
    QTest::newRow("an IDE not in the catalogue goes to the file manager without a word")
        << u"vim"_s << project << QStringList{u"bin/idea.sh"_s} << QStringList{systemApps + u"jetbrains-idea.desktop|idea.sh %f"_s} << true
        << QStringList{fallback} << QStringList();
    QTest::newRow("the file manager's failure is the answer")
        << u"idea"_s << project << QStringList{u"!bin/xdg-open"_s} << QStringList() << false << QStringList() << QStringList{noLauncher};
}

void TestLaunching::jetbrainsOpen()
{
    QFETCH(QString, ideKey);
    QFETCH(QString, path);
    QFETCH(QStringList, programs);
    QFETCH(QStringList, desktopFiles);
    QFETCH(bool, result);
    QFETCH(QStringList, runs);
    QFETCH(QStringList, messages);

    LaunchFixture fixture;
    QVERIFY(fixture.home.isValid());
    QVERIFY(fixture.build(programs, desktopFiles));

    TestUtil::MessageRecorder capture;
    QCOMPARE(JetbrainsProjectSource().open(entryFor(u"jetbrains"_s, ideKey, fixture.expand(path))), result);
    QCOMPARE(capture.lines(u"org.velari.sorvex.orlek.jetbrains"_s), fixture.expand(messages));
    QCOMPARE(TestUtil::settledText(fixture.log(), fixture.logText(runs)), fixture.logText(runs));
}

void TestLaunching::jetbrainsUsesOnlyTheFirstMatchingToolboxApp()
{
    LaunchFixture fixture;
    QVERIFY(fixture.home.isValid());
    // Both names contain the Toolbox name "IDEA" of the IntelliJ rows.
    const QStringList apps{u"idea-one"_s, u"IDEA-two"_s};
    for (const QString &app : apps) {
        QVERIFY(fixture.home.mkpath(toolboxApps + app + u"/ch-0/241.1/bin"_s));
    }
    // The folder's own listing order decides which one is first.
    const QStringList listed = QDir(fixture.home.filePath(toolboxApps)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    QCOMPARE(listed.size(), 2);
    // The first holds a launcher that is not executable, the second a working one.
    QVERIFY(fixture.build({u"-"_s + toolboxApps + listed.at(0) + u"/ch-0/241.1/bin/idea.sh"_s, toolboxApps + listed.at(1) + u"/ch-0/241.1/bin/idea.sh"_s}, {}));

    TestUtil::MessageRecorder capture;
    const QString project = fixture.home.filePath(u"dev/app"_s);
    QVERIFY(JetbrainsProjectSource().open(entryFor(u"jetbrains"_s, u"idea"_s, project)));
    QCOMPARE(capture.lines(u"org.velari.sorvex.orlek.jetbrains"_s), QStringList{u"warning: No launcher found for \"idea\" , fallback to file manager"_s});
    const QString run = fixture.logText({u"xdg-open <$HOME/dev/app>"_s});
    QCOMPARE(TestUtil::settledText(fixture.log(), run), run);
}

void TestLaunching::vscodeOpen_data()
{
    addLaunchColumns();

    const QString project = u"$HOME/dev/my app"_s;
    const QString projectArg = u"\"$HOME/dev/my app\""_s;
    const QString fallback = u"xdg-open <$HOME/dev/my app>"_s;
    auto launching = [](const QString &program, const QString &arguments) {
        return u"info: Launching \"%1\" QList(%2)"_s.arg(program, arguments);
    };

    QTest::newRow("the editor on the search path gets the folder as its only argument")
        << u"codium"_s << project << QStringList{u"bin/codium"_s, u"usr/share/codium/codium-desktop"_s}
        << QStringList{systemApps + u"codium.desktop|$HOME/usr/share/codium/codium-desktop %F"_s} << true << QStringList{u"codium <$HOME/dev/my app>"_s}
        << QStringList{u"info: Launching \"$HOME/bin/codium\" \"$HOME/dev/my app\""_s};
    QTest::newRow("a workspace file is handed over as it is")
        << u"cursor"_s << u"$HOME/w/team.code-workspace"_s << QStringList{u"bin/cursor"_s} << QStringList() << true
        << QStringList{u"cursor <$HOME/w/team.code-workspace>"_s} << QStringList{u"info: Launching \"$HOME/bin/cursor\" \"$HOME/w/team.code-workspace\""_s};
    QTest::newRow("an editor on the search path that cannot start answers false and nothing else is tried")
        << u"code"_s << project << QStringList{u"!bin/code"_s, u"usr/share/code/code"_s}
        << QStringList{systemApps + u"code.desktop|$HOME/usr/share/code/code %F"_s} << false << QStringList()
        << QStringList{u"info: Launching \"$HOME/bin/code\" \"$HOME/dev/my app\""_s};
    QTest::newRow("without the editor on the search path its desktop entry starts it")
        << u"code"_s << project << QStringList{u"usr/share/code/code"_s} << QStringList{systemApps + u"code.desktop|$HOME/usr/share/code/code %F"_s} << true
        << QStringList{u"code <$HOME/dev/my app>"_s} << QStringList{launching(u"$HOME/usr/share/code/code"_s, projectArg)};
    QTest::newRow("arguments after the field code come before the folder")
        << u"code-oss"_s << project << QStringList{u"usr/lib/code-oss/code-oss"_s}
        << QStringList{userApps + u"code-oss.desktop|$HOME/usr/lib/code-oss/code-oss %F --new-window"_s} << true
        << QStringList{u"code-oss <--new-window> <$HOME/dev/my app>"_s}
        << QStringList{launching(u"$HOME/usr/lib/code-oss/code-oss"_s, u"\"--new-window\", "_s + projectArg)};
    QTest::newRow("a desktop entry whose program is missing gives way to the next")
        << u"code"_s << project << QStringList{u"usr/share/code/code"_s}
        << QStringList{userApps + u"code.desktop|/nonexistent/code %F"_s, systemApps + u"code.desktop|$HOME/usr/share/code/code %F"_s} << true
        << QStringList{u"code <$HOME/dev/my app>"_s}
        << QStringList{launching(u"/nonexistent/code"_s, projectArg), launching(u"$HOME/usr/share/code/code"_s, projectArg)};
    QTest::newRow("another variant's desktop entry that sorts first is used")
        << u"code"_s << project << QStringList{u"usr/share/code/code"_s, u"usr/share/code-insiders/code-insiders"_s}
        << QStringList{systemApps + u"code.desktop|$HOME/usr/share/code/code %F"_s,
               systemApps + u"code-insiders.desktop|$HOME/usr/share/code-insiders/code-insiders %F"_s}
        << true << QStringList{u"code-insiders <$HOME/dev/my app>"_s} << QStringList{launching(u"$HOME/usr/share/code-insiders/code-insiders"_s, projectArg)};
    QTest::newRow("with no launcher at all the file manager opens the folder after one warning")
        << u"codium"_s << project << QStringList{u"bin/code"_s} << QStringList{systemApps + u"code.desktop|code %F"_s} << true << QStringList{fallback}
        << QStringList{u"warning: No launcher found for \"codium\" , fallback to file manager"_s};
    QTest::newRow("an entry without an editor key goes to the file manager without a word")
        << QString() << project << QStringList{u"bin/code"_s} << QStringList{systemApps + u"code.desktop|code %F"_s} << true << QStringList{fallback}
        << QStringList();
}

void TestLaunching::vscodeOpen()
{
    QFETCH(QString, ideKey);
    QFETCH(QString, path);
    QFETCH(QStringList, programs);
    QFETCH(QStringList, desktopFiles);
    QFETCH(bool, result);
    QFETCH(QStringList, runs);
    QFETCH(QStringList, messages);

    LaunchFixture fixture;
    QVERIFY(fixture.home.isValid());
    QVERIFY(fixture.build(programs, desktopFiles));
    // A real editor outside the fake home would take the place of the fixture's.
    const QString onPath = QStandardPaths::findExecutable(ideKey);
    QVERIFY2(ideKey.isEmpty() || onPath.isEmpty() || onPath.startsWith(fixture.home.path()), qPrintable(onPath));

    TestUtil::MessageRecorder capture;
    QCOMPARE(VscodeProjectSource().open(entryFor(u"vscode"_s, ideKey, fixture.expand(path))), result);
    QCOMPARE(capture.lines(u"org.velari.sorvex.orlek.vscode"_s), fixture.expand(messages));
    QCOMPARE(TestUtil::settledText(fixture.log(), fixture.logText(runs)), fixture.logText(runs));
}

QTEST_GUILESS_MAIN(TestLaunching)
#include "tst_launching.moc"
