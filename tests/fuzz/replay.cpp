// Runs a fuzz target once on every file of a corpus folder, without libFuzzer.

#include "fuzz.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    const QFileInfoList files = QDir(QFile::decodeName(argv[argc - 1])).entryInfoList(QDir::Files);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        // Named first, so that a crash shows which input it was.
        std::fprintf(stderr, "%s\n", qPrintable(info.fileName()));
        const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    }
    // An empty or missing folder would pass without testing anything.
    return files.isEmpty();
}
