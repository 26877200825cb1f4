#pragma once
// A small reader for RIFF/WAVE files: free functions over a handle. It reads
// PCM (8, 16, 24, 32-bit) and IEEE float (32, 64-bit) samples, plain or
// WAVE_FORMAT_EXTENSIBLE, as floats scaled to the 16-bit range (full scale is
// about +-32768), which is what the AAC encoder takes.
//
// Thread safety: a handle is used by one thread at a time; handles share nothing.
#include <cstdint>
#include <cstdio>

namespace quorvel {

struct wav_file {
    FILE* fp = nullptr;       // positioned at the next sample
    int32_t channels = 0;
    int32_t sample_bytes = 0; // bits per sample / 8
    int32_t sample_rate = 0;
    int32_t frames = 0;       // data chunk length / (sample_bytes x channels)
    int32_t is_float = 0;
    // Sample bytes left in the data chunk; UINT64_MAX when its length is
    // unknown (0xFFFFFFFF, as streaming writers leave it, or 0, as an
    // interrupted writer leaves it) and reading runs to the end of the file.
    uint64_t data_left = 0;
};

// Opens and checks a WAV file; null on any failure (the reason, where there
// is one to give, goes to standard error).
wav_file* wav_open_read(const char* path);

// Reads up to `count` samples (not frames: a stereo frame is two samples)
// into `buffer`, reordering each whole frame by `map` when it is not null.
// Returns the number read; 0 at the end of the data or for a sample width
// that cannot be converted.
int wav_read_float32(wav_file* handle, float* buffer, unsigned int count, const int* map);

// Reorders the channels of each of `frames` interleaved frames in place:
// output channel j takes input channel map[j] (an entry out of range keeps
// channel j as it is).
void chan_remap(float* buffer, int channels, int frames, const int* map);

// Closes the file and releases the handle; returns the stream's close result.
int wav_close(wav_file* handle);

} // namespace quorvel
