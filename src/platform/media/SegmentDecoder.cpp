#include "platform/media/SegmentDecoder.h"

#include "platform/core/GrowingFile.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quorvel {

namespace {
// Decoding starts this far before the range so that the decoder has settled
// (MP3's bit reservoir, AAC's overlap) when the first kept sample comes out.
constexpr double kPreroll = 0.5;
} // namespace

bool SegmentDecoder::open(NSError* error) {
    int rc = 0;
    // A source still being written (the effects run's output) is followed to its end.
    followsGrowth_ = GrowingFile::state(job_.sourcePath) == GrowingFile::State::Growing;
    in_ = ff::openFollowingInput(job_.sourcePath, [this] { return job_.isCancelled(); }, &rc);
    index_ = in_ ? ff::bestAudioStream(in_.get()) : rc;
    if (!in_ || index_ < 0) {
        *error = AssetExportJob::sourceError(job_.sourcePath, in_ ? index_ : rc);
        return false;
    }
    AVStream* ist = in_->streams[index_];
    decoder_ = ff::openDecoder(ist, &rc);
    if (!decoder_) {
        *error = AssetExportJob::sourceError(job_.sourcePath, rc);
        return false;
    }
    sourceRate_ = decoder_->sample_rate;
    channels_ = std::clamp(decoder_->ch_layout.nb_channels, 1, 2);
    if (sourceRate_ <= 0) {
        *error = AssetExportJob::sourceError(job_.sourcePath, AVERROR_INVALIDDATA);
        return false;
    }

    // Decoded audio, any layout and rate, to interleaved float at 44,100 Hz.
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels_);
    SwrContext* rawSwr = nullptr;
    rc = swr_alloc_set_opts2(&rawSwr, &outLayout, AV_SAMPLE_FMT_FLT, kOutputRate, &decoder_->ch_layout,
                             decoder_->sample_fmt, sourceRate_, 0, nullptr);
    swr_.reset(rawSwr);
    if (rc < 0 || !swr_ || (rc = swr_init(swr_.get())) < 0) {
        *error = AssetExportJob::formatError(QStringLiteral("Cannot convert the source's audio: %1").arg(ff::errorString(rc)));
        return false;
    }

    start_ = job_.startSeconds();
    const double end = job_.endSeconds();
    startSample_ = llround(start_ * sourceRate_);
    endSample_ = std::isfinite(end) ? llround(end * sourceRate_) : INT64_MAX;
    // A later start keeps the timeline (and the mix's times) of one decoder
    // from the range's start.
    rangeStartSample_ = startSample_;
    startSample_ += fromSample_ * sourceRate_ / kOutputRate;
    written_ = fromSample_;
    timeBase_ = ist->time_base;
    // The range is on the stream's own timeline, which begins at its start time.
    origin_ = ist->start_time != AV_NOPTS_VALUE ? ist->start_time : 0;
    decodeFrom_ = std::max(0.0, start_ + double(fromSample_) / kOutputRate - kPreroll);
    // MP3 seeks by estimate: its timestamps after a seek are not exact, so it
    // is read from the start (early packets are skipped without decoding).
    if (decodeFrom_ > 0 && ist->codecpar->codec_id != AV_CODEC_ID_MP3)
        av_seek_frame(in_.get(), index_, origin_ + llround(decodeFrom_ / av_q2d(timeBase_)), AVSEEK_FLAG_BACKWARD);
    totalSeconds_ = std::isfinite(end) ? end - start_ : in_->duration > 0 ? double(in_->duration) / AV_TIME_BASE : 0.0;
    packet_ = ff::makePacket();
    frame_ = ff::makeFrame();
    return true;
}

int64_t SegmentDecoder::alignment() const { return sourceRate_ > 0 ? kOutputRate / std::gcd(kOutputRate, sourceRate_) : 1; }

void SegmentDecoder::endAfter(int64_t samples) {
    const int64_t end = rangeStartSample_ + (samples * sourceRate_ + kOutputRate - 1) / kOutputRate + 1;
    endSample_ = std::min(endSample_, end);
}

// Converts `count` source samples and applies the mix; no planes flush the
// resampler. Appends to `out`.
bool SegmentDecoder::convert(const uint8_t** planes, int count, std::vector<float>& out) {
    const int capacity = swr_get_out_samples(swr_.get(), count);
    if (capacity <= 0) return true;
    const size_t at = out.size();
    out.resize(at + size_t(capacity) * size_t(channels_));
    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out.data() + at)};
    const int got = swr_convert(swr_.get(), outPlanes, capacity, planes, count);
    if (got < 0) return false;
    out.resize(at + size_t(got) * size_t(channels_));
    float* p = out.data() + at;
    // Float sources can hold anything; the encoder refuses what is not a
    // number or near infinity. Played, anything past full scale clips anyway.
    for (int i = 0; i < got * channels_; ++i) p[i] = std::isfinite(p[i]) ? std::clamp(p[i], -1.0f, 1.0f) : 0.0f;
    if (job_.mix && got > 0) {
        const auto timeOf = [this](int i) { return start_ + double(written_ + i) / kOutputRate; };
        if (const std::optional<float> steady = job_.mix->steadyGainBetween(timeOf(0), timeOf(got - 1))) {
            if (*steady != 1.0f)
                for (int i = 0; i < got * channels_; ++i) p[i] *= *steady;
        } else {
            for (int i = 0; i < got; ++i) {
                const float gain = job_.mix->gainAt(timeOf(i));
                for (int c = 0; c < channels_; ++c) p[i * channels_ + c] *= gain;
            }
        }
    }
    written_ += got;
    return true;
}

SegmentDecoder::Read SegmentDecoder::next(std::vector<float>& out, NSError* error) {
    out.clear();
    while (out.empty()) {
        if (reachedEnd_) {
            if (flushed_) return Read::End;
            // What the resampler still holds.
            flushed_ = true;
            if (!convert(nullptr, 0, out)) {
                *error = AssetExportJob::formatError(QStringLiteral("Cannot convert the source's audio"));
                return Read::Failed;
            }
            continue;
        }
        if (!inputDone_) {
            int rc = av_read_frame(in_.get(), packet_.get());
            if (rc == AVERROR_EOF) {
                inputDone_ = true;
                avcodec_send_packet(decoder_.get(), nullptr);
            } else if (rc < 0) {
                // A source that its writer could not finish: the writer's reason says more.
                const QString stopped = GrowingFile::failureReason(job_.sourcePath);
                *error = stopped.isEmpty() ? AssetExportJob::sourceError(job_.sourcePath, rc) : AssetExportJob::formatError(stopped);
                return Read::Failed;
            } else {
                const bool wanted = packet_->stream_index == index_;
                // Packets well before the range are skipped without decoding.
                const bool early = wanted && packet_->dts != AV_NOPTS_VALUE && packet_->duration > 0 &&
                                   double(packet_->dts + packet_->duration - origin_) * av_q2d(timeBase_) < decodeFrom_;
                if (wanted && !early) rc = avcodec_send_packet(decoder_.get(), packet_.get());
                av_packet_unref(packet_.get());
                if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) {
                    *error = AssetExportJob::sourceError(job_.sourcePath, rc);
                    return Read::Failed;
                }
            }
        }
        if (takeFrame(out, error) == Read::Failed) return Read::Failed;
    }
    return Read::Samples;
}

// Receives what the decoder has ready and keeps [startSample_, endSample_).
SegmentDecoder::Read SegmentDecoder::takeFrame(std::vector<float>& out, NSError* error) {
    const AVRational sampleTb{1, sourceRate_};
    while (true) {
        int rc = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (rc == AVERROR(EAGAIN)) return Read::Samples;
        if (rc == AVERROR_EOF) {
            reachedEnd_ = true;
            return Read::End;
        }
        if (rc < 0) {
            if (rc == AVERROR_INVALIDDATA) continue;  // a damaged frame: skip it
            *error = AssetExportJob::sourceError(job_.sourcePath, rc);
            return Read::Failed;
        }
        // Audio comes out in decoding order, one frame after the other: the
        // first frame's decoding time places the stream, the samples count on
        // from there (presentation times from a composition-time table may
        // repeat or go back).
        int64_t first = nextSample_;
        if (first < 0) {
            const int64_t ts = frame_->pkt_dts != AV_NOPTS_VALUE ? frame_->pkt_dts : frame_->best_effort_timestamp;
            first = ts != AV_NOPTS_VALUE ? av_rescale_q(ts - origin_, timeBase_, sampleTb) : 0;
        }
        nextSample_ = first + frame_->nb_samples;
        const int64_t from = std::clamp<int64_t>(startSample_ - first, 0, frame_->nb_samples);
        const int64_t to = std::clamp<int64_t>(endSample_ - first, 0, frame_->nb_samples);
        if (to > from) {
            const int bytesPerSample = av_get_bytes_per_sample(AVSampleFormat(frame_->format));
            const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame_->format));
            const uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
            const int planeCount = planar ? frame_->ch_layout.nb_channels : 1;
            const int step = planar ? bytesPerSample : bytesPerSample * frame_->ch_layout.nb_channels;
            for (int c = 0; c < planeCount && c < AV_NUM_DATA_POINTERS; ++c)
                planes[c] = frame_->extended_data[c] + from * step;
            if (!convert(planes, int(to - from), out)) {
                *error = AssetExportJob::formatError(QStringLiteral("Cannot encode the audio"));
                return Read::Failed;
            }
        }
        const bool past = first + frame_->nb_samples >= endSample_;
        av_frame_unref(frame_.get());
        if (past) {
            reachedEnd_ = true;
            return Read::End;
        }
    }
}

} // namespace quorvel
