#pragma once
// Decodes a segment on a thread of its own, a few blocks ahead of the one
// consumer, so that decoding and encoding share the machine's cores. The
// object owns its thread: however the consumer stops (the end, a failure, a
// cancel), destroying it stops the decoding and joins the thread.
#include "platform/core/BoundedQueue.h"
#include "platform/media/SegmentBlocks.h"

#include <cstddef>
#include <thread>
#include <vector>

namespace quorvel {

class DecodeAhead : public BlockSource {
public:
    // Starts decoding `source` (opened) into blocks of about `blockSamples`
    // samples, at most `blocksAhead` of them waiting.
    DecodeAhead(SegmentDecoder& source, size_t blockSamples, size_t blocksAhead);
    ~DecodeAhead() override;
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    bool next(std::vector<float>& block) override;
    bool failed(NSError* error) override;

private:
    void run();
    void stop();

    SegmentBlocks reader_;   // used by the thread until it closes the queue
    BoundedQueue<std::vector<float>> blocks_;
    std::thread thread_;     // last: it starts once everything above exists
};

} // namespace quorvel
