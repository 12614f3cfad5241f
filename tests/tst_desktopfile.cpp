#include "testutil.h"

#include "launch/desktopfile.h"
#include "service/logging.h"

#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace
{
const QString userApps = u".local/share/applications/"_s;
const QString systemApps = u"usr/share/applications/"_s;

// What the IDEs and package managers write around the one key that is read.
QByteArray desktopFile(const QByteArray &exec)
{
    return "[Desktop Entry]\n"
           "Version=1.0\n"
           "Type=Application\n"
           "Name=IntelliJ IDEA Ultimate 2024.1\n"
           "Icon=/opt/idea/bin/idea.svg\n"
           "Exec="
        + exec
        + "\n"
          "Comment=Capable and Ergonomic IDE for JVM\n"
          "Categories=Development;IDE;\n"
          "Terminal=false\n"
          "StartupWMClass=jetbrains-idea\n"
          "StartupNotify=true\n";
}
} // namespace

class TestDesktopFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findDesktopFiles_data();
    void findDesktopFiles();
    void findDesktopFilesLooksAgainOnEveryCall();

    void parseDesktopExec_data();
    void parseDesktopExec();
    void parseDesktopExecOfMissingFile();
    void parseDesktopExecOfFifoDoesNotWait();
};

void TestDesktopFile::findDesktopFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");

    const QStringList ideaNames{u"jetbrains-idea"_s, u"idea"_s};
    QTest::newRow("the user's file comes before the system's") << QStringList{systemApps + u"jetbrains-idea.desktop"_s,
        userApps + u"jetbrains-idea.desktop"_s} << ideaNames << QStringList{userApps + u"jetbrains-idea.desktop"_s, systemApps + u"jetbrains-idea.desktop"_s};
    QTest::newRow("any file whose base name contains a name matches, in plain name order")
        << QStringList{systemApps + u"jetbrains-idea.desktop"_s,
               systemApps + u"jetbrains-idea-ce.desktop"_s,
               systemApps + u"com.jetbrains.IntelliJ-IDEA-Ultimate.desktop"_s,
               systemApps + u"ideas-notebook.desktop"_s,
               systemApps + u"jetbrains-pycharm.desktop"_s}
        << ideaNames
        << QStringList{systemApps + u"com.jetbrains.IntelliJ-IDEA-Ultimate.desktop"_s,
               systemApps + u"ideas-notebook.desktop"_s,
               systemApps + u"jetbrains-idea-ce.desktop"_s,
               systemApps + u"jetbrains-idea.desktop"_s};
    QTest::newRow("upper-case names sort before lower-case ones")
        << QStringList{userApps + u"code.desktop"_s, userApps + u"alpha-code.desktop"_s, userApps + u"Zed-code.desktop"_s} << QStringList{u"code"_s}
        << QStringList{userApps + u"Zed-code.desktop"_s, userApps + u"alpha-code.desktop"_s, userApps + u"code.desktop"_s};
    QTest::newRow("names are compared ignoring case") << QStringList{userApps + u"jetbrains-idea.desktop"_s} << QStringList{u"IDEA"_s}
                                                      << QStringList{userApps + u"jetbrains-idea.desktop"_s};
    QTest::newRow("only the last suffix is cut from the name")
        << QStringList{userApps + u"code.url-handler.desktop"_s, userApps + u"Code.DESKTOP"_s, userApps + u"codium.desktop"_s} << QStringList{u"code"_s}
        << QStringList{userApps + u"Code.DESKTOP"_s, userApps + u"code.url-handler.desktop"_s};
    QTest::newRow("a suffix other than .desktop is no desktop file")
        << QStringList{userApps + u"code.desktop.bak"_s, userApps + u"code.txt"_s, userApps + u"code"_s} << QStringList{u"code"_s} << QStringList();
    QTest::newRow("hidden files and nested folders are not listed")
        << QStringList{userApps + u".code.desktop"_s, userApps + u"vendor/code.desktop"_s, userApps + u"code.desktop/readme"_s} << QStringList{u"code"_s}
        << QStringList();
    QTest::newRow("a file matching several names is listed once")
        << QStringList{userApps + u"jetbrains-idea.desktop"_s} << ideaNames << QStringList{userApps + u"jetbrains-idea.desktop"_s};
    QTest::newRow("no names match nothing") << QStringList{userApps + u"code.desktop"_s} << QStringList() << QStringList();
    QTest::newRow("an empty name matches every desktop file")
        << QStringList{userApps + u"code.desktop"_s, systemApps + u"gimp.desktop"_s, systemApps + u"notes.txt"_s} << QStringList{QString()}
        << QStringList{userApps + u"code.desktop"_s, systemApps + u"gimp.desktop"_s};
}

void TestDesktopFile::findDesktopFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    for (const QString &file : std::as_const(files)) {
        QVERIFY(home.write(file, desktopFile("ide %f")));
    }
    QStringList expectedPaths;
    for (const QString &file : std::as_const(expected)) {
        expectedPaths.append(home.filePath(file));
    }

    QCOMPARE(::findDesktopFiles(names), expectedPaths);
}

void TestDesktopFile::findDesktopFilesLooksAgainOnEveryCall()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QStringList names{u"code"_s};
    QCOMPARE(::findDesktopFiles(names), QStringList());

    QVERIFY(home.write(systemApps + u"code.desktop"_s, desktopFile("code %F")));
    QCOMPARE(::findDesktopFiles(names), QStringList{home.filePath(systemApps + u"code.desktop"_s)});

    // Another user's data folder is followed as soon as the environment says so.
    QVERIFY(home.write(u"other/applications/code-oss.desktop"_s, desktopFile("code-oss %F")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(u"other"_s)));
    QCOMPARE(::findDesktopFiles(names), (QStringList{home.filePath(u"other/applications/code-oss.desktop"_s), home.filePath(systemApps + u"code.desktop"_s)}));
}

void TestDesktopFile::parseDesktopExec_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<bool>("logged");

    const QString toolboxScript = u"/home/u/.local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/241.14494.240/bin/idea.sh"_s;

    QTest::newRow("a program and a file code give the program alone") << desktopFile("/opt/ide/bin/ide.sh %f") << QStringList{u"/opt/ide/bin/ide.sh"_s} << true;
    QTest::newRow("a quoted program path loses its quotes and keeps apart from the field code")
        << desktopFile("\"/home/u/.local/share/JetBrains/Toolbox/apps/IDEA-U/ch-0/241.14494.240/bin/idea.sh\" %u") << QStringList{toolboxScript} << true;
    QTest::newRow("a quoted path with a blank stays one string")
        << desktopFile("\"/opt/My IDE/bin/idea.sh\" %u") << QStringList{u"/opt/My IDE/bin/idea.sh"_s} << true;
    QTest::newRow("a quoted argument stays one string")
        << desktopFile("ide \"--title=My Project\" %f") << QStringList{u"ide"_s, u"--title=My Project"_s} << true;
    QTest::newRow("a comma does not split the value") << desktopFile("ide --list=1,2 %f") << QStringList{u"ide"_s, u"--list=1,2"_s} << true;
    QTest::newRow("field codes are dropped wherever they stand") << desktopFile("code %F --new-window") << QStringList{u"code"_s, u"--new-window"_s} << true;
    QTest::newRow("a lone percent sign is dropped, one inside a token stays")
        << desktopFile("ide % --file=%f %%") << QStringList{u"ide"_s, u"--file=%f"_s} << true;
    QTest::newRow("an older snap wraps the program in env")
        << desktopFile("env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/code_code.desktop /snap/bin/code --force-user-env %F")
        << QStringList{u"env"_s, u"BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/code_code.desktop"_s, u"/snap/bin/code"_s, u"--force-user-env"_s}
        << true;
    QTest::newRow("escaped blanks in a quoted path are undone")
        << desktopFile("\"/opt/My\\sIDE/bin/idea.sh\" %u") << QStringList{u"/opt/My IDE/bin/idea.sh"_s} << true;
    QTest::newRow("an escaped backslash becomes one backslash") << desktopFile("ide --pattern=a\\\\b") << QStringList{u"ide"_s, u"--pattern=a\\b"_s} << true;
    QTest::newRow("an escaped tab separates arguments") << desktopFile("ide\\t--wait") << QStringList{u"ide"_s, u"--wait"_s} << true;
    QTest::newRow("an unknown escape keeps its backslash") << desktopFile("ide --x=\\q") << QStringList{u"ide"_s, u"--x=\\q"_s} << true;
    QTest::newRow("blanks around the equals sign are ignored") << QByteArray("[Desktop Entry]\nExec  =  ide %f  \n") << QStringList{u"ide"_s} << true;
    QTest::newRow("a path beyond ASCII is read as UTF-8") << desktopFile("\"/opt/Über IDE/ide.sh\" %f") << QStringList{u"/opt/Über IDE/ide.sh"_s} << true;
    QTest::newRow("a localised Exec is another key") << QByteArray("[Desktop Entry]\nExec[de]=fremd %f\nExec=ide %f\nExec[fr]=autre\n") << QStringList{u"ide"_s}
                                                     << true;
    QTest::newRow("keys that only begin with Exec and comments are passed over")
        << QByteArray("[Desktop Entry]\n# Exec=commented\nTryExec=tried\nExecutable=no\nExec=ide %U\n  # Exec=indented comment\n") << QStringList{u"ide"_s}
        << true;
    QTest::newRow("the Exec of a desktop action is not read")
        << QByteArray("[Desktop Action new-window]\nExec=other --new\n\n[Desktop Entry]\nActions=new-window;\nExec=ide %f\n\n[Desktop Action x]\nExec=last\n")
        << QStringList{u"ide"_s} << true;
    QTest::newRow("a repeated key gives its last value") << QByteArray("[Desktop Entry]\nExec=first %f\nExec=second %f\n") << QStringList{u"second"_s} << true;
    QTest::newRow("a repeated group continues the first one")
        << QByteArray("[Desktop Entry]\nExec=first\n[Desktop Action a]\nExec=action\n[Desktop Entry]\nName=Later\n") << QStringList{u"first"_s} << true;
    QTest::newRow("Windows line ends and a byte-order mark are tolerated")
        << QByteArray("\xEF\xBB\xBF[Desktop Entry]\r\nExec=ide %f\r\nName=x\r\n") << QStringList{u"ide"_s} << true;
    QTest::newRow("field codes alone give an empty command, still logged") << desktopFile("%U") << QStringList() << true;
    QTest::newRow("an Exec of blanks gives no command and no log") << desktopFile("  \\s ") << QStringList() << false;
    QTest::newRow("a file without Exec gives no command and no log")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Viewer\n") << QStringList() << false;
    QTest::newRow("a key before any group belongs to no group") << QByteArray("Exec=stray %f\n[Desktop Entry]\nName=x\n") << QStringList() << false;
    QTest::newRow("a group that only resembles Desktop Entry is not read")
        << QByteArray("[desktop entry]\nExec=lower\n[Desktop Entry ]\nExec=blank\n") << QStringList() << false;
}

void TestDesktopFile::parseDesktopExec()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, command);
    QFETCH(bool, logged);

    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString path = home.filePath(userApps + u"ide.desktop"_s);
    QVERIFY(TestUtil::writeFile(path, content));

    TestUtil::MessageRecorder messages;
    const QStringList actual = ::parseDesktopExec(path);
    QCOMPARE(actual, command);

    QStringList expectedMessages;
    if (logged) {
        QString list;
        QDebug(&list) << command;
        expectedMessages.append(u"debug: Parsed Exec of \"%1\" : %2"_s.arg(path, list.trimmed()));
    }
    QCOMPARE(messages.lines(u"org.velari.sorvex.orlek.desktopfile"_s), expectedMessages);
}

void TestDesktopFile::parseDesktopExecOfMissingFile()
{
    TestUtil::MessageRecorder messages;
    QCOMPARE(::parseDesktopExec(u"/nonexistent/ide.desktop"_s), QStringList());
    QCOMPARE(messages.lines(u"org.velari.sorvex.orlek.desktopfile"_s), QStringList());
}

void TestDesktopFile::parseDesktopExecOfFifoDoesNotWait()
{
    TestUtil::FakeHome home;
    QVERIFY(home.isValid());
    const QString path = home.filePath(userApps + u"code.desktop"_s);
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    // Not listed as a desktop file, and not read when named directly.
    QCOMPARE(::findDesktopFiles({u"code"_s}), QStringList());
    QCOMPARE(::parseDesktopExec(path), QStringList());
}

QTEST_GUILESS_MAIN(TestDesktopFile)
#include "tst_desktopfile.moc"
