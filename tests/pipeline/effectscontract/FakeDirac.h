#pragma once
#include "pipeline/Dirac.h"

#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace quorvel {

struct FakeDirac {
    // Set by the test.
    bool failCreate = false;
    int64_t blocksToProduce = 0;

    // Recorded.
    long mode = 0, quality = 0, channels = 0;
    float sampleRate = 0;
    DiracReadCallback read = nullptr;
    void* userData = nullptr;
    std::vector<std::pair<long, double>> properties;
    int64_t blocksDone = 0;
    int64_t framesRead = 0;
    bool destroyed = false;
    bool sameThread = true;
    std::thread::id creatorThread;

    // Output frame i of a run: a ramp that survives 16-bit quantisation.
    static float sampleAt(int64_t i) { return float(i % 1000) / 2048.0f; }
};

FakeDirac& fakeDirac();

} // namespace quorvel
