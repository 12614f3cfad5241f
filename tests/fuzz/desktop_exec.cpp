// The command of a desktop file of arbitrary text.

#include "fuzzing.h"

#include "launch/desktopfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzzing::setUp();

    const QString path = Fuzzing::writeScratchFile(
        QStringLiteral("applications/jetbrains-idea.desktop"), QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList command = parseDesktopExec(path);

    // Field codes never reach the program; the caller's path is appended instead.
    for (const QString &token : command) {
        FUZZ_CHECK(!token.startsWith(QLatin1Char('%')));
    }
    return 0;
}
