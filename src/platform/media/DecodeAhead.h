#pragma once
// Decodes a segment on a thread of its own, a few blocks ahead of the one
// consumer, so that decoding and encoding share the machine's cores. The
// object owns its thread: however the consumer stops (the end, a failure, a
// cancel), destroying it stops the decoding and joins the thread.
#include "platform/core/BoundedQueue.h"
#include "platform/core/NSError.h"

#include <cstddef>
#include <thread>
#include <vector>

namespace quorvel {

class SegmentDecoder;

class DecodeAhead {
public:
    // Starts decoding `source` (opened) into blocks of about `blockSamples`
    // samples, at most `blocksAhead` of them waiting.
    DecodeAhead(SegmentDecoder& source, size_t blockSamples, size_t blocksAhead);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The next block (interleaved samples); false once there is none, at the
    // end of the segment or after a failure.
    bool next(std::vector<float>& block);
    // After next() returned false: whether decoding failed, with its reason in `error`.
    bool failed(NSError* error);

private:
    void run(size_t blockSamples);
    void stop();

    SegmentDecoder& source_;
    BoundedQueue<std::vector<float>> blocks_;
    NSError error_;          // written by the thread before it closes the queue
    bool failed_ = false;
    std::thread thread_;     // last: it starts once everything above exists
};

} // namespace quorvel
