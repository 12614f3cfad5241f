// The input as each file the sources read: a recent-projects file, VS Code's
// storage.json (whose legacy list has the shape of a state database's) and a
// workspace.json, and Zed's database.

#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString home = fuzzHome(u"home"_s, u"src/app/.keep|src/my project/.keep|notes.txt|w/team.code-workspace|RiderProjects/Shop/Shop.sln"_s);
    const QByteArray bytes(reinterpret_cast<const char *>(data), size);
    for (const char *file : {".config/Code/User/globalStorage/storage.json",
             ".config/Code/User/workspaceStorage/1/workspace.json",
             ".config/JetBrains/Rider1/options/recentSolutions.xml",
             "zed/db/0-stable/db.sqlite"}) {
        put(home + u'/' + QLatin1String(file), bytes);
    }
    // Whatever the files hold, only projects that exist come out, or remote ones by their URI.
    for (const std::unique_ptr<ProjectSource> &source : allSources()) {
        for (const ProjectEntry &entry : source->collectProjects()) {
            CHECK(entry.path.startsWith(u'/') && (QFileInfo::exists(entry.path) || entry.id.startsWith(u"vscode-remote://"_s)));
        }
    }
    return 0;
}
