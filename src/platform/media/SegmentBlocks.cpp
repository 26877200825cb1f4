#include "platform/media/SegmentBlocks.h"

#include "platform/media/SegmentDecoder.h"

namespace quorvel {

bool SegmentBlocks::next(std::vector<float>& block) {
    block.clear();
    while (!ended_) {
        const SegmentDecoder::Read read = source_.next(frame_, &error_);
        if (read != SegmentDecoder::Read::Samples) {
            ended_ = true;
            failed_ = read == SegmentDecoder::Read::Failed;
            break;
        }
        block.insert(block.end(), frame_.begin(), frame_.end());
        if (block.size() >= blockSamples_) return true;
    }
    // What the end or a failure leaves of the last block still goes out:
    // the samples before a failure are as good as any.
    return !block.empty();
}

bool SegmentBlocks::failed(NSError* error) {
    if (failed_ && error) *error = error_;
    return failed_;
}

} // namespace quorvel
