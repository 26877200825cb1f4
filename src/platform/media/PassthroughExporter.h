#pragma once
// The passthrough preset: copies the source's audio packets within the range
// into the requested container without re-encoding. Compressed audio is cut
// on the frame boundaries nearest the range that keep all of it; where the
// container allows, an edit list hides the part of the first frame before
// the range. PCM is cut to the sample.
#include "platform/ffmpeg/FFmpegHandles.h"
#include "platform/media/AssetExportJob.h"

#include <cstdint>

namespace quorvel {

class PassthroughExporter {
public:
    // Runs the job on the calling thread. The caller removes the output on
    // anything but Completed.
    static AssetExportResult run(const AssetExportJob& job, NSError* error);

private:
    explicit PassthroughExporter(const AssetExportJob& job) : job_(job) {}
    // Each step sets *error and returns false when it fails.
    bool openSource(NSError* error);
    bool openOutput(NSError* error);
    AssetExportResult copyPackets(NSError* error);
    // Keeps what of the packet lies in the range and gives it the output's
    // times; false when nothing of it is kept.
    bool trim(AVPacket* pkt, int64_t ts, int64_t duration);
    bool finish(NSError* error);

    const AssetExportJob& job_;
    ff::InputFormat in_;
    ff::OutputFormat out_;
    AVStream* ist_ = nullptr;
    AVStream* ost_ = nullptr;
    int index_ = -1;
    int sampleRate_ = 0;
    int frameBytes_ = 0; // bytes of one PCM sample frame; 0 for compressed audio
    double start_ = 0, end_ = 0;
    int64_t origin_ = 0; // the stream's start time, where the range's 0 is
    int64_t startTs_ = 0, startSample_ = 0, endSample_ = 0;
};

} // namespace quorvel
