#pragma once
// The AppleM4A preset: decodes the source, cuts the range to the sample,
// applies the audio mix's volume sample by sample (ramps are on the source's
// timeline), and encodes AAC-LC at 44,100 Hz, 128 kbit/s per channel, with
// the source's channel count (at most two), into an MPEG-4 audio file whose
// edit list makes its length the range's.
//
// A segment of 6 s or more is encoded as two halves at once, on both cores:
// each half has its own decoder (running ahead on a thread of its own where
// there are cores to spare) and its own encoder, and the two packet streams
// are spliced into one track.
#include "platform/aac/AacEncoder.h"
#include "platform/media/AssetExportJob.h"

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace quorvel {

class BlockSource;
class Mp4AudioWriter;
class SegmentDecoder;

class AppleM4AExporter {
public:
    // Runs the job on the calling thread (and, with two cores or more, on
    // threads of its own that end before it returns). The caller removes the
    // output on anything but Completed.
    static AssetExportResult run(const AssetExportJob& job, NSError* error,
                                 unsigned cores = std::thread::hardware_concurrency());

private:
    static AacEncoder::Settings encoderSettings(int channels);
    static NSError encoderError(const QString& reason);
    static NSError writeError(const AssetExportJob& job, const Mp4AudioWriter& writer);
    // Opens the output file with its one AAC track.
    static std::unique_ptr<Mp4AudioWriter> openOutput(const AssetExportJob& job,
                                                      const std::vector<uint8_t>& audioSpecificConfig,
                                                      int primingSamples, NSError* error);
    // Decode and encode the segment, with one encoder or as two halves
    // split at `split`, into *output; `written` counts the samples per channel.
    static AssetExportResult encodeWhole(const AssetExportJob& job, SegmentDecoder& source,
                                         std::unique_ptr<Mp4AudioWriter>* output, int64_t* written, NSError* error);
    static AssetExportResult encodeHalves(const AssetExportJob& job, SegmentDecoder& first, int64_t split,
                                          unsigned cores, std::unique_ptr<Mp4AudioWriter>* output, int64_t* written,
                                          NSError* error);
    // Where a half's encoder takes its blocks from, on a machine of `cores`.
    static std::unique_ptr<BlockSource> blocksFor(SegmentDecoder& half, unsigned cores);
};

} // namespace quorvel
