// Runs a fuzz target once on every file of the folders given: the checked-in
// corpus as an ordinary, deterministic test, without libFuzzer.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    QTextStream out(stdout);
    if (argc < 2) {
        out << "usage: " << argv[0] << " <corpus folder or file>...\n";
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo arg(QFile::decodeName(argv[i]));
        const QFileInfoList files = arg.isDir() ? QDir(arg.filePath()).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name) : QFileInfoList{arg};
        for (const QFileInfo &file : files) {
            QFile input(file.filePath());
            if (!input.open(QIODevice::ReadOnly)) {
                out << "cannot read " << file.filePath() << "\n";
                return 1;
            }
            const QByteArray data = input.readAll();
            // Named before the run, so that a crash shows which input it was.
            out << "replaying " << file.fileName() << Qt::endl;
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
            ++replayed;
        }
    }
    out << replayed << " inputs replayed\n";
    // An empty corpus would make the test pass without testing anything.
    return replayed > 0 ? 0 : 1;
}
