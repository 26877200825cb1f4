// The WAV reader on arbitrary bytes: open, then read to the end, once as it
// comes and once through a channel map that reverses every frame.
#include "FuzzInput.h"
#include "pipeline/WavReader.h"

#include <QFile>
#include <cmath>
#include <vector>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray path = QFile::encodeName(fuzz::writeInput(data, size, QStringLiteral("wav")));
    for (const bool mapped : {false, true}) {
        wav_file* wav = wav_open_read(path.constData());
        if (!wav) return 0;
        fuzz::check(wav->channels > 0 && wav->sample_bytes >= 1 && wav->frames >= 0, "an open handle is readable");
        std::vector<int> map(size_t(wav->channels));
        for (int j = 0; j < wav->channels; ++j) map[size_t(j)] = wav->channels - 1 - j;
        // An odd count, so that reads also end inside a frame.
        std::vector<float> buffer(4099);
        uint64_t samples = 0;
        for (;;) {
            const int n = wav_read_float32(wav, buffer.data(), unsigned(buffer.size()), mapped ? map.data() : nullptr);
            fuzz::check(n >= 0 && size_t(n) <= buffer.size(), "a read stays within the buffer");
            if (n == 0) break;
            samples += uint64_t(n);
            fuzz::check(samples * uint64_t(wav->sample_bytes) <= size, "never more samples than the file holds");
            if (!wav->is_float)
                for (int i = 0; i < n; ++i)
                    // A 32-bit 0x7FFFFFFF rounds to exactly 32768 in float.
                    fuzz::check(buffer[size_t(i)] >= -32768.0f && buffer[size_t(i)] <= 32768.0f, "integer samples stay in range");
        }
        fuzz::check(wav_read_float32(wav, buffer.data(), unsigned(buffer.size()), nullptr) == 0, "the end stays the end");
        wav_close(wav);
    }
    return 0;
}
