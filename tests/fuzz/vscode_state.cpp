// The VS Code readers of global state on arbitrary bytes: the recent list as
// a state database holds it, and storage.json with its menu-bar and legacy lists.

#include "fuzzing.h"

#include "sources/vscodeprojectsource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <cstddef>
#include <cstdint>

namespace
{
// Every entry names an existing folder or workspace file and carries its variant's data.
void checkEntries(const QList<ProjectEntry> &entries, const VscodeVariant &variant)
{
    for (const ProjectEntry &entry : entries) {
        FUZZ_CHECK(entry.id == entry.path);
        FUZZ_CHECK(entry.path.startsWith(QLatin1Char('/')));
        FUZZ_CHECK(QFileInfo::exists(entry.path));
        FUZZ_CHECK(entry.sourceId == QStringLiteral("vscode"));
        FUZZ_CHECK(entry.ideKey == variant.executable);
        FUZZ_CHECK(entry.icon == variant.iconName);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzzing::setUp();

    const QList<VscodeVariant> &variants = vscodeVariants();
    const VscodeVariant &variant = variants.at(qsizetype(size % size_t(variants.size())));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The value of history.recentlyOpenedPathsList: {"entries":[...]}, or a bare array.
    const QJsonDocument list = QJsonDocument::fromJson(bytes);
    const QJsonArray entries = list.isArray() ? list.array() : list.object().value(QStringLiteral("entries")).toArray();
    const QList<ProjectEntry> recent = VscodeProjectSource::readRecentEntries(entries, variant, 1712000000000);
    FUZZ_CHECK(recent.size() <= entries.size());
    checkEntries(recent, variant);
    for (const ProjectEntry &entry : recent) {
        FUZZ_CHECK(entry.lastOpened == 1712000000000);
    }

    // The whole input as a URI: the fast decoding agrees with QUrl's.
    const QString uri = QString::fromUtf8(bytes);
    const QUrl url(uri, QUrl::TolerantMode);
    const QString local = url.scheme() == QStringLiteral("file") ? url.toLocalFile() : QString();
    FUZZ_CHECK(localPathOfFileUri(uri) == (local.startsWith(QLatin1Char('/')) ? local : QString()));

    const QString storage = Fuzzing::writeScratchFile(QStringLiteral("storage.json"), bytes);
    checkEntries(VscodeProjectSource::readMenubarRecent(storage, variant), variant);
    checkEntries(VscodeProjectSource::readLegacyOpenedPaths(storage, variant), variant);
    return 0;
}
