#pragma once
// Reads a range of a source file as interleaved float samples at 44,100 Hz
// with the audio mix's volume applied: cut to the sample (frame timestamps
// on the source's timeline), any rate and layout converted, at most two
// channels. Decoding starts a little before the range, so that the decoder
// has settled when the first kept sample comes out.
#include "platform/ffmpeg/FFmpegHandles.h"
#include "platform/media/AssetExportJob.h"

#include <cstdint>
#include <vector>

namespace quorvel {

class SegmentDecoder {
public:
    static constexpr int kOutputRate = 44100;

    // `fromSample` (output samples per channel into the range) starts the
    // decoding later, as a second decoder of one range does; the samples it
    // gives are those a decoder from the range's start gives there, when
    // fromSample is a multiple of alignment().
    explicit SegmentDecoder(const AssetExportJob& job, int64_t fromSample = 0) : job_(job), fromSample_(fromSample) {}

    // False, with the error in the service's words, when the source cannot
    // be read or converted.
    bool open(NSError* error);
    int channels() const { return channels_; }
    // Whether the source was still being written when it opened (GrowingFile).
    bool followsGrowingSource() const { return followsGrowth_; }
    // Length of the range in seconds (the source's rest without an end),
    // 0 when not known.
    double totalSeconds() const { return totalSeconds_; }
    // The step in output samples at which the source's own samples and the
    // output's meet exactly (1 for a source at 44,100 Hz).
    int64_t alignment() const;
    // Ends the decoding after about `samples` output samples per channel
    // counted from the range's start (a few more may come).
    void endAfter(int64_t samples);

    enum class Read { Samples, End, Failed };
    // The next samples (replacing `out`'s contents, never empty on Samples),
    // the end of the range, or a failure described in `error`.
    Read next(std::vector<float>& out, NSError* error);

private:
    bool convert(const uint8_t** planes, int count, std::vector<float>& out);
    Read takeFrame(std::vector<float>& out, NSError* error);

    const AssetExportJob& job_;
    const int64_t fromSample_;
    ff::InputFormat in_;
    ff::CodecContext decoder_;
    ff::Resampler swr_;
    ff::Packet packet_;
    ff::Frame frame_;
    int index_ = -1;
    int channels_ = 0;
    int sourceRate_ = 0;
    AVRational timeBase_{1, 1};
    int64_t origin_ = 0; // the stream's start time (time base units), where the range's 0 is
    double start_ = 0;
    double decodeFrom_ = 0;
    double totalSeconds_ = 0;
    int64_t rangeStartSample_ = 0;
    int64_t startSample_ = 0;
    int64_t endSample_ = INT64_MAX;
    int64_t written_ = 0;      // output samples (per channel) so far
    int64_t nextSample_ = -1;  // source position of the next decoded sample when a frame has no time
    bool followsGrowth_ = false;
    bool inputDone_ = false;
    bool reachedEnd_ = false;
    bool flushed_ = false;
};

} // namespace quorvel
