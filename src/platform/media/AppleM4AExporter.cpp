#include "AppleM4AExporter.h"

#include "AacEncoder.h"
#include "FFmpegHandles.h"
#include "Mp4AudioWriter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorvel {

namespace {

constexpr int kOutputRate = 44100;
// Decoding starts this far before the range so that the decoder has settled
// (MP3's bit reservoir, AAC's overlap) when the first kept sample comes out.
constexpr double kPreroll = 0.5;

// Feeds mixed PCM to the encoder one frame at a time and writes each AAC frame.
class EncodeSink {
public:
    EncodeSink(AacEncoder& encoder, Mp4AudioWriter& writer) : encoder_(encoder), writer_(writer) {
        out_.resize(size_t(encoder.maxOutputBytes()));
    }
    bool push(const float* samples, int count) {
        pending_.insert(pending_.end(), samples, samples + count);
        const size_t frame = size_t(encoder_.inputSamples());
        size_t used = 0;
        while (pending_.size() - used >= frame) {
            if (!encodeOne(pending_.data() + used, int(frame))) return false;
            used += frame;
        }
        pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(used));
        return true;
    }
    bool finish() {
        if (!pending_.empty() && !encodeOne(pending_.data(), int(pending_.size()))) return false;
        pending_.clear();
        while (true) {
            const int bytes = encoder_.encode(nullptr, 0, out_.data(), int(out_.size()));
            if (bytes < 0) return false;
            if (bytes == 0) return true;
            if (!writer_.writeSample(out_.data(), size_t(bytes))) return false;
        }
    }

private:
    bool encodeOne(const float* samples, int count) {
        const int bytes = encoder_.encode(samples, count, out_.data(), int(out_.size()));
        if (bytes < 0) return false;
        return bytes == 0 || writer_.writeSample(out_.data(), size_t(bytes));
    }
    AacEncoder& encoder_;
    Mp4AudioWriter& writer_;
    std::vector<float> pending_;
    std::vector<uint8_t> out_;
};

} // namespace

AssetExportResult AppleM4AExporter::run(const AssetExportJob& job, NSError* error) {
    int rc = 0;
    ff::InputFormat in = ff::openInput(job.sourcePath, &rc);
    const int index = in ? ff::bestAudioStream(in.get()) : rc;
    if (!in || index < 0) {
        *error = AssetExportJob::sourceError(job.sourcePath, in ? index : rc);
        return AssetExportResult::Failed;
    }
    AVStream* ist = in->streams[index];
    ff::CodecContext decoder = ff::openDecoder(ist, &rc);
    if (!decoder) {
        *error = AssetExportJob::sourceError(job.sourcePath, rc);
        return AssetExportResult::Failed;
    }
    const int sourceRate = decoder->sample_rate;
    const int channels = std::clamp(decoder->ch_layout.nb_channels, 1, 2);
    if (sourceRate <= 0) {
        *error = AssetExportJob::sourceError(job.sourcePath, AVERROR_INVALIDDATA);
        return AssetExportResult::Failed;
    }

    // Decoded audio, any layout and rate, to interleaved float at 44,100 Hz.
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels);
    SwrContext* rawSwr = nullptr;
    rc = swr_alloc_set_opts2(&rawSwr, &outLayout, AV_SAMPLE_FMT_FLT, kOutputRate, &decoder->ch_layout,
                             decoder->sample_fmt, sourceRate, 0, nullptr);
    ff::Resampler swr(rawSwr);
    if (rc < 0 || !swr || (rc = swr_init(swr.get())) < 0) {
        *error = AssetExportJob::formatError(QStringLiteral("Cannot convert the source's audio: %1").arg(ff::errorString(rc)));
        return AssetExportResult::Failed;
    }

    AacEncoder encoder;
    AacEncoder::Settings settings;
    settings.sampleRate = kOutputRate;
    settings.channels = channels;
    settings.bitRatePerChannel = 128000;
    settings.inputScale = 1.0f;
    QString reason;
    if (!encoder.open(settings, &reason)) {
        *error = AssetExportJob::formatError(QStringLiteral("Cannot open the AAC encoder: %1").arg(reason));
        return AssetExportResult::Failed;
    }
    auto writer = Mp4AudioWriter::create(job.outputPath, &reason);
    if (!writer) {
        *error = AssetExportJob::writerError(job.outputPath, reason);
        return AssetExportResult::Failed;
    }
    writer->setMovieTimeScale(kOutputRate);
    writer->addAudioTrack(kOutputRate, AacEncoder::kFrameSize, Mp4AudioWriter::kMpeg4AudioType);
    writer->setAudioProfileLevel(0x0F);
    const auto& asc = encoder.audioSpecificConfig();
    writer->setDecoderSpecificInfo(asc.data(), asc.size());
    writer->setEdit(encoder.primingSamples(), 0);
    EncodeSink sink(encoder, *writer);

    const double start = job.startSeconds();
    const double end = job.endSeconds();
    const int64_t startSample = llround(start * sourceRate);
    const int64_t endSample = std::isfinite(end) ? llround(end * sourceRate) : INT64_MAX;
    const AVRational tb = ist->time_base;
    const AVRational sampleTb{1, sourceRate};
    const double decodeFrom = std::max(0.0, start - kPreroll);
    if (decodeFrom > 0 && ist->codecpar->codec_id != AV_CODEC_ID_MP3)
        av_seek_frame(in.get(), index, llround(decodeFrom / av_q2d(tb)), AVSEEK_FLAG_BACKWARD);
    const double totalSeconds = std::isfinite(end) ? end - start
                                : in->duration > 0 ? double(in->duration) / AV_TIME_BASE
                                                   : 0.0;

    ff::Packet pkt = ff::makePacket();
    ff::Frame frame = ff::makeFrame();
    std::vector<float> converted;
    int64_t written = 0;     // output samples (per channel) so far
    int64_t nextSample = -1; // source position of the next decoded sample when a frame has no time
    bool inputDone = false;
    bool reachedEnd = false;

    // Converts `count` source samples, mixes and encodes them; no planes flush the resampler.
    auto consume = [&](const uint8_t** planes, int count) -> bool {
        const int capacity = swr_get_out_samples(swr.get(), count);
        if (capacity <= 0) return true;
        converted.resize(size_t(capacity) * size_t(channels));
        uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(converted.data())};
        const int got = swr_convert(swr.get(), outPlanes, capacity, planes, count);
        if (got < 0) return false;
        float* p = converted.data();
        for (int i = 0; i < got; ++i) {
            const float gain = job.mix ? job.mix->gainAt(start + double(written + i) / kOutputRate) : 1.0f;
            for (int c = 0; c < channels; ++c) p[i * channels + c] *= gain;
        }
        written += got;
        if (totalSeconds > 0) job.reportProgress(double(written) / kOutputRate / totalSeconds);
        return sink.push(converted.data(), got * channels);
    };

    while (!reachedEnd) {
        if (job.isCancelled()) return AssetExportResult::Cancelled;
        if (!inputDone) {
            rc = av_read_frame(in.get(), pkt.get());
            if (rc == AVERROR_EOF) {
                inputDone = true;
                avcodec_send_packet(decoder.get(), nullptr);
            } else if (rc < 0) {
                *error = AssetExportJob::sourceError(job.sourcePath, rc);
                return AssetExportResult::Failed;
            } else {
                const bool wanted = pkt->stream_index == index;
                // Packets well before the range are skipped without decoding.
                const bool early = wanted && pkt->pts != AV_NOPTS_VALUE && pkt->duration > 0 &&
                                   double(pkt->pts + pkt->duration) * av_q2d(tb) < decodeFrom;
                if (wanted && !early) rc = avcodec_send_packet(decoder.get(), pkt.get());
                av_packet_unref(pkt.get());
                if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) {
                    *error = AssetExportJob::sourceError(job.sourcePath, rc);
                    return AssetExportResult::Failed;
                }
            }
        }
        while (true) {
            rc = avcodec_receive_frame(decoder.get(), frame.get());
            if (rc == AVERROR(EAGAIN)) break;
            if (rc == AVERROR_EOF) {
                reachedEnd = true;
                break;
            }
            if (rc < 0) {
                if (rc == AVERROR_INVALIDDATA) continue; // a damaged frame: skip it
                *error = AssetExportJob::sourceError(job.sourcePath, rc);
                return AssetExportResult::Failed;
            }
            int64_t first = nextSample;
            if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
                first = av_rescale_q(frame->best_effort_timestamp, tb, sampleTb);
            if (first < 0 && nextSample < 0) first = 0;
            nextSample = first + frame->nb_samples;
            // Keep [startSample, endSample) of this frame.
            const int64_t from = std::clamp<int64_t>(startSample - first, 0, frame->nb_samples);
            const int64_t to = std::clamp<int64_t>(endSample - first, 0, frame->nb_samples);
            if (to > from) {
                const int bytesPerSample = av_get_bytes_per_sample(AVSampleFormat(frame->format));
                const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame->format));
                const uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
                const int planeCount = planar ? frame->ch_layout.nb_channels : 1;
                const int step = planar ? bytesPerSample : bytesPerSample * frame->ch_layout.nb_channels;
                for (int c = 0; c < planeCount && c < AV_NUM_DATA_POINTERS; ++c)
                    planes[c] = frame->extended_data[c] + from * step;
                if (!consume(planes, int(to - from))) {
                    *error = AssetExportJob::formatError(QStringLiteral("Cannot encode the audio"));
                    return AssetExportResult::Failed;
                }
            }
            const bool past = first + frame->nb_samples >= endSample;
            av_frame_unref(frame.get());
            if (past) {
                reachedEnd = true;
                break;
            }
        }
    }
    // What the resampler still holds, then the encoder's delayed frames.
    if (!consume(nullptr, 0) || !sink.finish()) {
        *error = AssetExportJob::writerError(job.outputPath, writer->lastError().isEmpty()
                                                                 ? QStringLiteral("the AAC encoder failed")
                                                                 : writer->lastError());
        return AssetExportResult::Failed;
    }
    if (job.isCancelled()) return AssetExportResult::Cancelled;
    writer->setEditDuration(written);
    if (!writer->close()) {
        *error = AssetExportJob::writerError(job.outputPath, writer->lastError());
        return AssetExportResult::Failed;
    }
    return AssetExportResult::Completed;
}

} // namespace quorvel
