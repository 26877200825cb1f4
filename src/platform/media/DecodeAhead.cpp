#include "platform/media/DecodeAhead.h"

namespace quorvel {

DecodeAhead::DecodeAhead(SegmentDecoder& source, size_t blockSamples, size_t blocksAhead)
    : reader_(source, blockSamples), blocks_(blocksAhead), thread_([this] { run(); }) {}

DecodeAhead::~DecodeAhead() { stop(); }

void DecodeAhead::run() {
    std::vector<float> block;
    while (reader_.next(block))
        if (!blocks_.push(std::move(block))) break; // the consumer stopped
    blocks_.close();
}

bool DecodeAhead::next(std::vector<float>& block) { return blocks_.pop(block); }

bool DecodeAhead::failed(NSError* error) {
    stop(); // the thread has ended: what it wrote can be read
    return reader_.failed(error);
}

void DecodeAhead::stop() {
    blocks_.close(); // a decoder waiting for room gives up
    if (thread_.joinable()) thread_.join();
}

} // namespace quorvel
