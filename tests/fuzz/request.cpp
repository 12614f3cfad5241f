// Stop, Search and Action requests of any text through the service object
// over the real sources in a small home.

#include "fuzz.h"

namespace
{
QString opened;

// Opening only records: nothing is started.
template<class Source>
struct Recorder : Source {
    bool open(const ProjectEntry &entry) const override
    {
        opened = entry.path;
        return true;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString home = fuzzHome(u"request"_s,
        u"src/app/.keep|w/.keep|.config/JetBrains/IdeaIC1/options/recentProjects.xml\t<a><entry key=\"$USER_HOME$/src/app\"/><entry key=\"$USER_HOME$/w\"/></a>"_s);
    static const std::vector<std::unique_ptr<ProjectSource>> sources = allSources<Recorder>();
    static Orlek orlek;
    // Each is added once, however often this runs.
    for (const std::unique_ptr<ProjectSource> &source : sources) {
        orlek.addSource(source.get());
    }

    const QString json = QString::fromUtf8(reinterpret_cast<const char *>(data), size);
    CHECK(orlek.stop(json));
    // An answer is for the request's own mID.
    const QString answer = orlek.search(json);
    CHECK(answer.isEmpty() || QJsonDocument::fromJson(answer.toUtf8())[u"mID"_s] == QJsonDocument::fromJson(json.toUtf8())[u"mID"_s]);
    // Only what a source reported is opened, and the answer says whether it was.
    opened.clear();
    CHECK(orlek.action(json) == opened.startsWith(home));
    return 0;
}
