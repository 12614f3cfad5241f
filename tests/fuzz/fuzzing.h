#pragma once

// Shared by the fuzz targets: one-time set-up, a fixed fixture home that
// inputs can name paths in, a scratch folder for the files the targets write,
// and checks that stop the run when a property of the service breaks.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// Stops the run (and so the fuzzer, which reports the input) when cond is false.
#define FUZZ_CHECK(cond)                                                                                                                                       \
    do {                                                                                                                                                       \
        if (!(cond)) {                                                                                                                                         \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                                                                      \
            std::abort();                                                                                                                                      \
        }                                                                                                                                                      \
    } while (false)

namespace Fuzzing
{

// The home of every target, at a fixed place so that the checked-in inputs
// can name its paths (file:///tmp/orlek-fuzz/home/src/app, $USER_HOME$/src/app).
inline QString homePath()
{
    return QStringLiteral("/tmp/orlek-fuzz/home");
}

inline QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a file of the shared home unless it already holds content. Other
// targets running at the same time write the same bytes; the rename makes
// every reader see a whole file.
inline void provideFile(const QString &relative, const QByteArray &content)
{
    const QString path = QDir(homePath()).filePath(relative);
    if (fileContents(path) == content) {
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly));
    file.write(content);
    FUZZ_CHECK(file.commit());
}

// Once per process: an application object, no log output (it would drown the
// fuzzer's), and the fixture home with HOME pointing at it.
inline void setUp()
{
    static bool done = false;
    if (done) {
        return;
    }
    done = true;

    static int argc = 1;
    static char name[] = "orlek-fuzz";
    static char *argv[] = {name, nullptr};
    // Kept for the whole process: destroying it among the other statics at exit is not safe.
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    Q_UNUSED(app)
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));

    // What the seed inputs and the fixture files of the JetBrains tests name.
    for (const char *dir : {"src/app",
             "src/my project",
             "src/Ärger & 日本",
             "dev/R&D",
             "dev/billing service",
             "IdeaProjects/backend",
             "IdeaProjects/inventory",
             "IdeaProjects/legacy-ui",
             "PycharmProjects/scraper",
             "PycharmProjects/notebooks",
             "AndroidStudioProjects/Flashlight",
             "RiderProjects/Shop",
             "RiderProjects/Tools",
             "go/src/cli"}) {
        FUZZ_CHECK(QDir().mkpath(QDir(homePath()).filePath(QString::fromUtf8(dir))));
    }
    provideFile(QStringLiteral("w/team.code-workspace"), "{\n\t\"folders\": [\n\t\t{\n\t\t\t\"path\": \"../src/app\"\n\t\t}\n\t]\n}");
    provideFile(QStringLiteral("RiderProjects/Shop/Shop.sln"), "Microsoft Visual Studio Solution File, Format Version 12.00\n");
    provideFile(QStringLiteral("RiderProjects/Api/src/Api.csproj"), "<Project Sdk=\"Microsoft.NET.Sdk\">\n</Project>\n");
    provideFile(QStringLiteral("notes.txt"), "notes\n");
    provideFile(QStringLiteral(".config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"), "[Shortcut]\nide=jetbrains\ncode=vscode\nmine=eclipse\n");
    qputenv("HOME", QFile::encodeName(homePath()));
}

// A folder of this process for the files a target writes; removed at exit.
// In memory where possible: rewriting a file on disk for every input would
// make the disk, not the code, set the pace.
inline QString scratchPath()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/orlek-fuzz-XXXXXX")
                                                                                : QDir::tempPath() + QStringLiteral("/orlek-fuzz-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    return dir.path();
}

// Replaces a scratch file's content, creating its folder when needed.
inline QString writeScratchFile(const QString &relative, const QByteArray &content)
{
    const QString path = QDir(scratchPath()).filePath(relative);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    FUZZ_CHECK(file.write(content) == content.size());
    return path;
}

} // namespace Fuzzing
