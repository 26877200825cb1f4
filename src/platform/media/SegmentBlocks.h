#pragma once
// A decoded segment handed out in blocks, for an encoder to take one at a
// time. SegmentBlocks decodes each block when it is asked for, on the
// caller's thread; DecodeAhead decodes on a thread of its own, ahead of the
// caller.
#include "platform/core/NSError.h"

#include <cstddef>
#include <vector>

namespace quorvel {

class SegmentDecoder;

class BlockSource {
public:
    virtual ~BlockSource() = default;
    // The next block (interleaved samples); false once there is none, at the
    // end of the segment or after a failure.
    virtual bool next(std::vector<float>& block) = 0;
    // After next() returned false: whether decoding failed, with its reason in `error`.
    virtual bool failed(NSError* error) = 0;
};

class SegmentBlocks : public BlockSource {
public:
    // Reads `source` (opened) in blocks of about `blockSamples` samples.
    SegmentBlocks(SegmentDecoder& source, size_t blockSamples) : source_(source), blockSamples_(blockSamples) {}

    bool next(std::vector<float>& block) override;
    bool failed(NSError* error) override;

private:
    SegmentDecoder& source_;
    const size_t blockSamples_;
    std::vector<float> frame_;
    NSError error_;
    bool ended_ = false;
    bool failed_ = false;
};

} // namespace quorvel
