// The VS Code workspace-storage scan over a folder whose workspace.json holds
// arbitrary bytes.

#include "fastreaders.h"
#include "fuzzing.h"

#include "sources/vscodeprojectsource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzzing::setUp();

    const QList<VscodeVariant> &variants = vscodeVariants();
    const VscodeVariant &variant = variants.at(qsizetype(size % size_t(variants.size())));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // What the fast reader takes, it reads as QJsonDocument does.
    PlainJsonMembers members;
    if (readPlainJsonObject(bytes, &members)) {
        FUZZ_CHECK(FastReaders::plainJsonReadsAlike(bytes));
    }

    Fuzzing::writeScratchFile(QStringLiteral("Code/User/workspaceStorage/0f3c5a9e7d2b4c1a8e6f0b9d3c7a5e21/workspace.json"), bytes);
    const QList<ProjectEntry> entries = VscodeProjectSource::scanWorkspaceStorage(Fuzzing::scratchPath() + QStringLiteral("/Code"), variant);

    // One folder gives one entry at most: an existing folder, or a workspace
    // file, named by its absolute path.
    FUZZ_CHECK(entries.size() <= 1);
    for (const ProjectEntry &entry : entries) {
        const QFileInfo target(entry.path);
        FUZZ_CHECK(entry.id == entry.path);
        FUZZ_CHECK(entry.path.startsWith(QLatin1Char('/')));
        FUZZ_CHECK(target.isDir() || (target.isFile() && target.suffix() == QStringLiteral("code-workspace")));
        FUZZ_CHECK(entry.sourceId == QStringLiteral("vscode"));
        FUZZ_CHECK(entry.ideKey == variant.executable);
    }
    return 0;
}
