#include "platform/media/DecodeAhead.h"

#include "platform/media/SegmentDecoder.h"

namespace quorvel {

DecodeAhead::DecodeAhead(SegmentDecoder& source, size_t blockSamples, size_t blocksAhead)
    : source_(source), blocks_(blocksAhead), thread_([this, blockSamples] { run(blockSamples); }) {}

DecodeAhead::~DecodeAhead() { stop(); }

void DecodeAhead::run(size_t blockSamples) {
    std::vector<float> frame, block;
    for (;;) {
        const SegmentDecoder::Read read = source_.next(frame, &error_);
        if (read == SegmentDecoder::Read::Samples) {
            block.insert(block.end(), frame.begin(), frame.end());
            if (block.size() < blockSamples) continue;
        }
        if (!block.empty() && !blocks_.push(std::move(block))) break; // the consumer stopped
        block = {};
        if (read != SegmentDecoder::Read::Samples) {
            failed_ = read == SegmentDecoder::Read::Failed;
            break;
        }
    }
    blocks_.close();
}

bool DecodeAhead::next(std::vector<float>& block) { return blocks_.pop(block); }

bool DecodeAhead::failed(NSError* error) {
    stop(); // the thread has ended: what it wrote can be read
    if (failed_ && error) *error = error_;
    return failed_;
}

void DecodeAhead::stop() {
    blocks_.close(); // a decoder waiting for room gives up
    if (thread_.joinable()) thread_.join();
}

} // namespace quorvel
