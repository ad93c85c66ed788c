// Runs every file of the seed corpus through the fuzz entry with the normal compiler, so each CI run checks it.

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "no corpus files in %s\n", argv[1]);
        return 1;
    }
    for (const QString& name : names) {
        QFile file(corpus.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        QByteArray input = file.readAll();
        // Every corpus file is also tried with each split seed, so the replay covers many ways of splitting it.
        for (int seed = 0; seed < 256; seed += 17) {
            if (!input.isEmpty())
                input[0] = char(seed);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
        }
    }
    std::printf("replayed %lld corpus files\n", static_cast<long long>(names.size()));
    return 0;
}
