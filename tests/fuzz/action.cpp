// The Action request on arbitrary text, over fixed sources whose opening
// only records what it was asked to open.

#include "fakeservice.h"

#include <cstddef>
#include <cstdint>

namespace
{
FakeService &service()
{
    static FakeService fixture;
    // Some entries in the item cache, the rest only in the sources.
    static const bool cached = [] {
        fixture.orlek.search(QStringLiteral("{\"ver\":\"1.0\",\"mID\":\"1\",\"cont\":\"vsc app\"}"));
        fixture.orlek.search(QStringLiteral("{\"ver\":\"1.0\",\"mID\":\"2\",\"cont\":\"jb shared\"}"));
        return true;
    }();
    Q_UNUSED(cached)
    return fixture;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzzing::setUp();
    FakeService &fixture = service();
    fixture.vscode.opened.clear();
    fixture.jetbrains.opened.clear();

    const QString json = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool result = fixture.orlek.action(json);

    // At most one entry is opened, always one that a source reported, by that
    // source; the answer is its source's.
    const qsizetype opened = fixture.vscode.opened.size() + fixture.jetbrains.opened.size();
    FUZZ_CHECK(opened <= 1);
    for (const FakeSource *source : {&fixture.vscode, &fixture.jetbrains}) {
        for (const ProjectEntry &entry : source->opened) {
            FUZZ_CHECK(fixture.known.contains(entry.id));
            FUZZ_CHECK(entry.sourceId == source->sourceId);
            FUZZ_CHECK(result == source->openResult);
        }
    }
    FUZZ_CHECK(opened == 1 || !result);
    return 0;
}
