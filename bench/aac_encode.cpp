// Encodes a WAV file to a ringtone (.m4r) through the AAC writer's encoding
// job, on this thread, and prints how long the job took.
// Usage: aac_encode <in.wav> <out.m4r>
#include "pipeline/AudioExporterFor3G.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <in.wav> <out.m4r>\n", argv[0]);
        return 2;
    }
    auto& exporter = quorvel::AudioExporterFor3G::sharedInstance();
    const auto start = std::chrono::steady_clock::now();
    exporter.doIt(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool complete = exporter.progressValueArray()->elementZero() == 1.0f;
    std::fprintf(stderr, "doIt: %.3f s, %s\n", seconds, complete ? "complete" : "failed");
    return complete ? 0 : 1;
}
