// EAFRead on arbitrary bytes: the first byte picks the file's extension, the
// rest is the file. Opened as the effects run opens it (44,100 Hz mono) and
// read to the end in blocks of 8,192 frames.
#include "FuzzInput.h"
#include "SeedCorpus.h"
#include "pipeline/EAFRead.h"

#include <vector>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QString path = fuzz::writeInput(data + 1, size - 1, samples::fuzzExtensionFor(data[0]));
    EAFRead reader;
    if (reader.openFileForRead(QUrl::fromLocalFile(path), 44100, 1) != 0) return 0;
    fuzz::check(reader.fileNumFrames() >= 0, "the length is never negative");
    constexpr int32_t kBlock = 8192;
    std::vector<float> samples(kBlock);
    float* audio[1] = {samples.data()};
    for (;;) {
        const int32_t n = reader.readFloatsConsecutive(kBlock, audio);
        if (n <= 0) break;
        fuzz::check(n <= kBlock, "a read delivers at most what was asked");
        for (int32_t j = 0; j < kBlock; ++j) {
            fuzz::check(samples[size_t(j)] >= -1.0f && samples[size_t(j)] < 1.0f, "samples are scaled 16-bit values");
            fuzz::check(j < n || samples[size_t(j)] == 0.0f, "frames past the delivered count are silent");
        }
    }
    reader.closeFile();
    return 0;
}
