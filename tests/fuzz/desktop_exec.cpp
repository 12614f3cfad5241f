// The input as an IDE's desktop file: found by its name, its command parsed.

#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString file = fuzzHome(u"desktop_exec"_s, u"applications/idea.desktop"_s) + u"/applications/idea.desktop"_s;
    const QByteArray input(reinterpret_cast<const char *>(data), size);
    put(file, input);
    CHECK(findDesktopFiles({u"idea"_s}).contains(file));
    // Field codes never reach the program: the caller appends its path. A
    // literal % is written %%.
    for (const QString &argument : parseDesktopExec(file)) {
        CHECK(!argument.startsWith(u'%') || input.contains("%%"));
    }
    return 0;
}
