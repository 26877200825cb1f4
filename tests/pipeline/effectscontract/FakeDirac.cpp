// A recording engine that replaces the real one in this test program (the
// linker takes these definitions before the library's), so the tests can see
// exactly what the effects run asks of the engine.
#include "FakeDirac.h"

#include "pipeline/Dirac.h"

#include <algorithm>
#include <vector>

namespace quorvel {

FakeDirac& fakeDirac() {
    static FakeDirac fake;
    return fake;
}

void* DiracCreate(long mode, long quality, long channels, float sampleRate, DiracReadCallback readCallback,
                  void* userData) {
    FakeDirac& f = fakeDirac();
    f.mode = mode;
    f.quality = quality;
    f.channels = channels;
    f.sampleRate = sampleRate;
    f.read = readCallback;
    f.userData = userData;
    f.creatorThread = std::this_thread::get_id();
    return f.failCreate ? nullptr : &f;
}

long DiracSetProperty(long id, double value, void* dirac) {
    if (dirac != &fakeDirac()) return -1;
    fakeDirac().properties.emplace_back(id, value);
    return 0;
}

// Pulls one block of input per call (so the callback is exercised) and
// produces blocksToProduce full blocks of a known ramp, then returns 0.
long DiracProcess(float** audioOut, long numFrames, void* dirac) {
    FakeDirac& f = *static_cast<FakeDirac*>(dirac);
    f.sameThread = f.sameThread && std::this_thread::get_id() == f.creatorThread;
    std::vector<float> in(static_cast<size_t>(numFrames));
    float* inPtr = in.data();
    long got = f.read(&inPtr, numFrames, f.userData);
    if (got > 0) f.framesRead += got;
    if (f.blocksDone >= f.blocksToProduce) {
        std::fill(audioOut[0], audioOut[0] + numFrames, 0.0f);
        return 0;
    }
    for (long i = 0; i < numFrames; ++i) audioOut[0][i] = FakeDirac::sampleAt(f.blocksDone * numFrames + i);
    ++f.blocksDone;
    return numFrames;
}

void DiracDestroy(void* dirac) { static_cast<FakeDirac*>(dirac)->destroyed = true; }

} // namespace quorvel
