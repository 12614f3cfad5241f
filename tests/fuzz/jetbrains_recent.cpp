// The JetBrains recent-projects reader on arbitrary bytes.

#include "fastreaders.h"
#include "fuzzing.h"

#include "sources/jetbrainsprojectsource.h"

#include <cstddef>
#include <cstdint>

namespace
{
constexpr qint64 fileTime = 1712000000000;

// Every entry names an existing absolute path and carries its IDE's data.
void checkEntries(const QList<ProjectEntry> &entries, const JetbrainsIde &row)
{
    for (const ProjectEntry &entry : entries) {
        FUZZ_CHECK(entry.id == entry.path);
        FUZZ_CHECK(entry.path.startsWith(QLatin1Char('/')));
        FUZZ_CHECK(QFileInfo::exists(entry.path));
        FUZZ_CHECK(entry.sourceId == QStringLiteral("jetbrains"));
        FUZZ_CHECK(entry.ideKey == row.ideKey);
        FUZZ_CHECK(entry.icon == row.iconName);
        FUZZ_CHECK(!entry.ideName.isEmpty());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzzing::setUp();

    // The input's size picks the IDE and the kind of list, so every row is read.
    const QList<JetbrainsIde> &ides = jetbrainsIdes();
    const JetbrainsIde &row = ides.at(qsizetype(size % size_t(ides.size())));
    const QString label = size % 2 ? QStringLiteral("Solutions") : QString();

    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    // What the fast reader takes, it reads as QXmlStreamReader does.
    SimpleXml simple;
    if (simple.scan(bytes)) {
        FUZZ_CHECK(FastReaders::simpleXmlReadsAlike(bytes));
    }

    const QList<ProjectEntry> entries = JetbrainsProjectSource::readRecentXml(bytes, fileTime, row, label);
    checkEntries(entries, row);

    // The whole input as one recorded path.
    QList<ProjectEntry> single;
    JetbrainsProjectSource::addRecentProject(row, label, single, QString::fromUtf8(bytes), fileTime);
    FUZZ_CHECK(single.size() <= 1);
    checkEntries(single, row);
    return 0;
}
