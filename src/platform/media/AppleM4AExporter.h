#pragma once
// The AppleM4A preset: decodes the source, cuts the range to the sample,
// applies the audio mix's volume sample by sample (ramps are on the source's
// timeline), and encodes AAC-LC at 44,100 Hz, 128 kbit/s per channel, with
// the source's channel count (at most two), into an MPEG-4 audio file whose
// edit list makes its length the range's.
#include "AssetExportJob.h"

#include <cstdint>
#include <memory>

namespace quorvel {

class AacEncoder;
class Mp4AudioWriter;
class SegmentDecoder;

class AppleM4AExporter {
public:
    // Runs the job on the calling thread. The caller removes the output on
    // anything but Completed.
    static AssetExportResult run(const AssetExportJob& job, NSError* error);

private:
    // Opens the encoder and the output file with its one AAC track.
    static std::unique_ptr<Mp4AudioWriter> openOutput(const AssetExportJob& job, int channels, AacEncoder& encoder,
                                                      NSError* error);
    // Decodes ahead and encodes the whole segment; `written` counts the samples per channel.
    static AssetExportResult encodeSegment(const AssetExportJob& job, SegmentDecoder& source, AacEncoder& encoder,
                                           Mp4AudioWriter& writer, int64_t* written, NSError* error);
};

} // namespace quorvel
