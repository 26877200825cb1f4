// Decodes a file to mono 44,100 Hz through EAFRead in 8,192-frame reads, as
// the effects run does, and prints the wall time in seconds.
#include "pipeline/AudioBuffers.h"
#include "pipeline/EAFRead.h"

#include <QCoreApplication>
#include <QUrl>
#include <chrono>
#include <cstdio>

using namespace quorvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: decode <audio file>\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    EAFRead reader;
    if (reader.openFileForRead(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])), 44100, 1) != 0) return 1;
    float** audio = AllocateAudioBuffer(1, 8192);
    int64_t frames = 0;
    for (;;) {
        const int32_t n = reader.readFloatsConsecutive(8192, audio);
        if (n < 0) return 1;
        if (n == 0) break;
        frames += n;
    }
    DeallocateAudioBuffer(audio, 1);
    reader.closeFile();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.4f %lld\n", seconds, static_cast<long long>(frames));
    return 0;
}
