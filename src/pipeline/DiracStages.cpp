#include "pipeline/DiracStages.h"

#include "platform/core/VectorState.h"

#include <algorithm>

namespace quorvel {

namespace {
// After the final input the stretcher may briefly report nothing available
// before it reports the end; this many empty answers in a row mean it is done.
constexpr int kDrainPatience = 8;
} // namespace

StretchStage::StretchStage(long channels, double sampleRate, RubberBand::RubberBandStretcher::Options options,
                           double timeRatio, double pitchScale, long maxBlock)
    : stretcher_(size_t(sampleRate), size_t(channels), options, timeRatio, pitchScale), channels_(channels),
      maxBlock_(maxBlock), output_(size_t(channels)), pointers_(size_t(channels)), discard_(size_t(maxBlock)) {
    stretcher_.setMaxProcessSize(size_t(maxBlock));
    // Output before the reported delay belongs to the start padding.
    toDiscard_ = int64_t(stretcher_.getStartDelay());
    // Leading silence lets the first real sample be processed fully.
    StageBlock zeros(channels, maxBlock);
    for (long pad = long(stretcher_.getPreferredStartPad()); pad > 0; pad -= maxBlock)
        push(zeros.ptrs(), std::min(pad, maxBlock));
}

void StretchStage::push(float* const* in, long frames) {
    clearUpperVectorState();
    // In the portions the stretcher asks for, so its buffers never grow.
    long from = 0;
    while (from < frames) {
        long n = std::min(frames - from, std::max(1L, long(stretcher_.getSamplesRequired())));
        n = std::min(n, maxBlock_);
        for (long c = 0; c < channels_; ++c) pointers_[size_t(c)] = in[c] + from;
        stretcher_.process(pointers_.data(), size_t(n), false);
        from += n;
        collect();
    }
}

void StretchStage::finish() {
    if (finished_) return;
    finished_ = true;
    stretcher_.process(pointers_.data(), 0, true);
    for (int idle = 0; !ended_ && idle < kDrainPatience; ++idle) {
        const int64_t before = int64_t(output_.front().size()) + toDiscard_;
        collect();
        if (int64_t(output_.front().size()) + toDiscard_ != before) idle = 0;
    }
    ended_ = true;
}

void StretchStage::collect() {
    for (;;) {
        const int avail = stretcher_.available();
        if (avail < 0) {
            ended_ = true;
            return;
        }
        if (avail == 0) return;
        if (toDiscard_ > 0) {
            const size_t n = size_t(std::min<int64_t>({int64_t(avail), toDiscard_, maxBlock_}));
            for (long c = 0; c < channels_; ++c) pointers_[size_t(c)] = discard_.data();
            // Every channel into the same scratch: the content is thrown away.
            stretcher_.retrieve(pointers_.data(), n);
            toDiscard_ -= int64_t(n);
            continue;
        }
        const size_t at = output_.front().size();
        for (long c = 0; c < channels_; ++c) {
            output_[size_t(c)].resize(at + size_t(avail));
            pointers_[size_t(c)] = output_[size_t(c)].data() + at;
        }
        stretcher_.retrieve(pointers_.data(), size_t(avail));
    }
}

long StretchStage::pull(float* const* out, long max) {
    const long n = std::min<long>(max, long(output_.front().size() - outputRead_));
    for (long c = 0; c < channels_; ++c)
        std::copy_n(output_[size_t(c)].begin() + long(outputRead_), n, out[c]);
    outputRead_ += size_t(n);
    if (outputRead_ == output_.front().size()) {
        for (auto& o : output_) o.clear();
        outputRead_ = 0;
    }
    return n;
}

bool StretchStage::drained() const { return ended_ && outputRead_ == output_.front().size(); }

namespace {
// Input blocks a threaded step may fall behind by (1.5 s at 2048 frames).
// Output moves on from one threaded step to the next only while the caller
// pushes; a caller held at a short queue leaves the next step idle, and two
// threaded steps then run one after the other.
constexpr size_t kThreadedBlocksAhead = 32;
} // namespace

ThreadedStage::ThreadedStage(long channels, std::unique_ptr<DiracStage> inner)
    : channels_(channels), inner_(std::move(inner)), input_(kThreadedBlocksAhead) {
    thread_ = std::thread([this] { run(); });
}

ThreadedStage::~ThreadedStage() {
    input_.close();
    thread_.join();
}

void ThreadedStage::push(float* const* in, long frames) {
    if (frames <= 0 || finished_) return;
    auto block = Block(size_t(channels_));
    for (long c = 0; c < channels_; ++c) block[size_t(c)].assign(in[c], in[c] + frames);
    input_.push(std::move(block));
}

void ThreadedStage::finish() {
    if (finished_) return;
    finished_ = true;
    input_.push(Block(size_t(channels_)));
    input_.close();
}

void ThreadedStage::run() {
    clearUpperVectorState(); // not the starter's stale state
    constexpr long kChunk = 4096;
    Block block;
    auto pointers = std::vector<float*>(size_t(channels_));
    while (input_.pop(block)) {
        if (block.front().empty()) {
            inner_->finish();
        } else {
            for (long c = 0; c < channels_; ++c) pointers[size_t(c)] = block[size_t(c)].data();
            inner_->push(pointers.data(), long(block.front().size()));
        }
        for (;;) {
            auto out = Block(size_t(channels_), std::vector<float>(size_t(kChunk)));
            for (long c = 0; c < channels_; ++c) pointers[size_t(c)] = out[size_t(c)].data();
            const long n = inner_->pull(pointers.data(), kChunk);
            if (n == 0) break;
            for (auto& channel : out) channel.resize(size_t(n));
            std::lock_guard lock(mutex_);
            output_.push_back(std::move(out));
            outputChanged_.notify_all();
        }
        if (inner_->drained()) break;
    }
    std::lock_guard lock(mutex_);
    innerDrained_ = true;
    outputChanged_.notify_all();
}

long ThreadedStage::pull(float* const* out, long max) {
    std::unique_lock lock(mutex_);
    if (finished_) outputChanged_.wait(lock, [&] { return !output_.empty() || innerDrained_; });
    long filled = 0;
    while (filled < max && !output_.empty()) {
        const Block& front = output_.front();
        const long n = std::min<long>(max - filled, long(front.front().size() - outputRead_));
        for (long c = 0; c < channels_; ++c)
            std::copy_n(front[size_t(c)].begin() + long(outputRead_), n, out[c] + filled);
        filled += n;
        outputRead_ += size_t(n);
        if (outputRead_ == front.front().size()) {
            output_.pop_front();
            outputRead_ = 0;
        }
    }
    return filled;
}

bool ThreadedStage::drained() const {
    std::lock_guard lock(mutex_);
    return innerDrained_ && output_.empty();
}

StageChain::StageChain(long channels, long maxBlock) : transfer_(channels, maxBlock) {}

void StageChain::add(std::unique_ptr<DiracStage> stage) {
    stages_.push_back(std::move(stage));
    finished_.push_back(false);
}

void StageChain::push(float* const* in, long frames) {
    stages_.front()->push(in, frames);
    flow();
}

void StageChain::finish() {
    if (finished_.front()) return;
    stages_.front()->finish();
    finished_.front() = true;
    flow();
}

long StageChain::pull(float* const* out, long max) { return stages_.back()->pull(out, max); }

bool StageChain::drained() const { return finished_.back() && stages_.back()->drained(); }

// Moves everything each step can give on to the next, and the end of input
// along once a step has given its last frame.
void StageChain::flow() {
    const long block = transfer_.frames();
    for (size_t i = 0; i + 1 < stages_.size(); ++i) {
        while (long n = stages_[i]->pull(transfer_.ptrs(), block)) stages_[i + 1]->push(transfer_.ptrs(), n);
        if (finished_[i] && stages_[i]->drained() && !finished_[i + 1]) {
            stages_[i + 1]->finish();
            finished_[i + 1] = true;
        }
    }
}

} // namespace quorvel
