#pragma once
// The steps an engine run is built from. Each takes frames in and gives
// frames out, all channels at once, time-aligned with its input; a chain of
// them is driven by the engine in small blocks.

#include <rubberband/RubberBandStretcher.h>

#include "platform/core/BoundedQueue.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel {

// Per-channel sample blocks with the pointer array that the callbacks and
// the steps take (zeroed). Not AudioBuffers.h's ChannelBuffers: that one is
// the C-allocated block the file reader and writer exchange.
class StageBlock {
public:
    StageBlock(long channels, long frames) : data_(size_t(channels), std::vector<float>(size_t(frames), 0.0f)) {
        for (auto& ch : data_) ptrs_.push_back(ch.data());
    }
    StageBlock(const StageBlock&) = delete;
    StageBlock& operator=(const StageBlock&) = delete;
    float** ptrs() { return ptrs_.data(); }
    long frames() const { return data_.empty() ? 0 : long(data_.front().size()); }

private:
    std::vector<std::vector<float>> data_;
    std::vector<float*> ptrs_;
};

class DiracStage {
public:
    virtual ~DiracStage() = default;
    virtual void push(float* const* in, long frames) = 0;
    // No more input follows.
    virtual void finish() = 0;
    // Up to `max` frames into out[channel]; 0 when nothing is ready.
    virtual long pull(float* const* out, long max) = 0;
    // Finished and every frame handed out.
    virtual bool drained() const = 0;
};

// A one-channel step (push/finish/pull/drained on float*) applied to every
// channel. Every channel gets the same number of frames, so every channel's
// step is always at the same point.
template <class Mono>
class PerChannelStage : public DiracStage {
public:
    template <class... Args>
    PerChannelStage(long channels, const Args&... args) {
        for (long c = 0; c < channels; ++c) steps_.push_back(std::make_unique<Mono>(args...));
    }
    void push(float* const* in, long frames) override {
        for (size_t c = 0; c < steps_.size(); ++c) steps_[c]->push(in[c], frames);
    }
    void finish() override {
        for (auto& s : steps_) s->finish();
    }
    long pull(float* const* out, long max) override {
        long n = 0;
        for (size_t c = 0; c < steps_.size(); ++c) n = steps_[c]->pull(out[c], max);
        return n;
    }
    bool drained() const override { return steps_.front()->drained(); }

private:
    std::vector<std::unique_ptr<Mono>> steps_;
};

// Rubber Band in real-time mode: streams with constant memory. The start
// delay is dropped, so output lines up with input.
class StretchStage : public DiracStage {
public:
    StretchStage(long channels, double sampleRate, RubberBand::RubberBandStretcher::Options options,
                 double timeRatio, double pitchScale, long maxBlock);
    void push(float* const* in, long frames) override;
    void finish() override;
    long pull(float* const* out, long max) override;
    bool drained() const override;

private:
    void collect();

    RubberBand::RubberBandStretcher stretcher_;
    const long channels_;
    const long maxBlock_;
    std::vector<std::vector<float>> output_;  // retrieved, not yet pulled, per channel
    size_t outputRead_ = 0;
    std::vector<float*> pointers_;
    std::vector<float> discard_;
    int64_t toDiscard_ = 0;  // start delay still to drop
    bool finished_ = false;
    bool ended_ = false;     // the stretcher has given everything
};

// Runs another step on a thread of its own, so that it shares the machine's
// cores with whatever feeds and drains it. Input waits when the step is a
// few blocks behind (memory stays bounded); output is handed over as it
// comes. pull() returns 0 at once while input may still follow, and waits
// for the step once the input has finished.
class ThreadedStage : public DiracStage {
public:
    ThreadedStage(long channels, std::unique_ptr<DiracStage> inner);
    ~ThreadedStage() override;
    ThreadedStage(const ThreadedStage&) = delete;
    ThreadedStage& operator=(const ThreadedStage&) = delete;

    void push(float* const* in, long frames) override;
    void finish() override;
    long pull(float* const* out, long max) override;
    bool drained() const override;

private:
    using Block = std::vector<std::vector<float>>;  // per channel; no frames: the end of input
    void run();

    const long channels_;
    std::unique_ptr<DiracStage> inner_;
    BoundedQueue<Block> input_;
    mutable std::mutex mutex_;
    std::condition_variable outputChanged_;
    std::deque<Block> output_;  // handed over by the thread, oldest first
    size_t outputRead_ = 0;     // frames of output_.front() already pulled
    bool innerDrained_ = false;
    bool finished_ = false;
    std::thread thread_;
};

// Steps run one after the other, itself a step: what one gives is pushed on
// to the next, and the end of input travels along once a step is drained.
class StageChain : public DiracStage {
public:
    StageChain(long channels, long maxBlock);
    void add(std::unique_ptr<DiracStage> stage);
    bool empty() const { return stages_.empty(); }

    void push(float* const* in, long frames) override;
    void finish() override;
    long pull(float* const* out, long max) override;
    bool drained() const override;

private:
    void flow();

    std::vector<std::unique_ptr<DiracStage>> stages_;
    std::vector<bool> finished_;  // finish() given, per step
    StageBlock transfer_;
};

} // namespace quorvel
