#include "platform/media/PassthroughExporter.h"

#include "platform/media/AVAssetExportSession.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

const char* muxerForFileType(const QString& fileType) {
    if (fileType == AVFileTypeAppleM4A || fileType == AVFileTypeAppleM4V) return "ipod";
    if (fileType == AVFileTypeWAVE) return "wav";
    if (fileType == AVFileTypeAIFF) return "aiff";
    if (fileType == AVFileTypeQuickTimeMovie) return "mov";
    return nullptr;
}

// Bytes of one sample frame (all channels) for raw PCM, 0 for anything else.
int pcmFrameBytes(const AVCodecParameters* par) {
    if (par->codec_id < AV_CODEC_ID_FIRST_AUDIO || par->codec_id >= AV_CODEC_ID_ADPCM_IMA_QT) return 0;
    const int bits = av_get_bits_per_sample(par->codec_id);
    return bits > 0 && bits % 8 == 0 ? bits / 8 * par->ch_layout.nb_channels : 0;
}

} // namespace

AssetExportResult PassthroughExporter::run(const AssetExportJob& job, NSError* error) {
    PassthroughExporter exporter(job);
    if (!exporter.openSource(error) || !exporter.openOutput(error)) return AssetExportResult::Failed;
    const AssetExportResult copied = exporter.copyPackets(error);
    if (copied != AssetExportResult::Completed) return copied;
    return exporter.finish(error) ? AssetExportResult::Completed : AssetExportResult::Failed;
}

bool PassthroughExporter::openSource(NSError* error) {
    int rc = 0;
    in_ = ff::openInput(job_.sourcePath, &rc);
    index_ = in_ ? ff::bestAudioStream(in_.get()) : rc;
    if (!in_ || index_ < 0) {
        *error = AssetExportJob::sourceError(job_.sourcePath, in_ ? index_ : rc);
        return false;
    }
    ist_ = in_->streams[index_];
    sampleRate_ = ist_->codecpar->sample_rate;
    frameBytes_ = pcmFrameBytes(ist_->codecpar);
    return true;
}

bool PassthroughExporter::openOutput(NSError* error) {
    const char* muxer = muxerForFileType(job_.fileType);
    if (!muxer) {
        *error = AssetExportJob::formatError(QStringLiteral("Unsupported output file type %1").arg(job_.fileType));
        return false;
    }
    AVFormatContext* rawOut = nullptr;
    const QByteArray outPath = job_.outputPath.toUtf8();
    int rc = avformat_alloc_output_context2(&rawOut, nullptr, muxer, outPath.constData());
    out_.reset(rawOut);
    if (rc < 0 || !out_) {
        *error = AssetExportJob::outputError(job_.outputPath, rc);
        return false;
    }
    if (avformat_query_codec(out_->oformat, ist_->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
        *error = AssetExportJob::formatError(QStringLiteral("%1 audio cannot be copied into a %2 file")
                                                 .arg(QString::fromUtf8(avcodec_get_name(ist_->codecpar->codec_id)),
                                                      job_.fileType));
        return false;
    }
    ost_ = avformat_new_stream(out_.get(), nullptr);
    if (!ost_ || (rc = avcodec_parameters_copy(ost_->codecpar, ist_->codecpar)) < 0) {
        *error = AssetExportJob::outputError(job_.outputPath, ost_ ? rc : AVERROR(ENOMEM));
        return false;
    }
    ost_->codecpar->codec_tag = 0;
    ost_->time_base = ist_->time_base;
    if ((rc = avio_open(&out_->pb, outPath.constData(), AVIO_FLAG_WRITE)) < 0 ||
        (rc = avformat_write_header(out_.get(), nullptr)) < 0) {
        *error = AssetExportJob::outputError(job_.outputPath, rc);
        return false;
    }
    return true;
}

AssetExportResult PassthroughExporter::copyPackets(NSError* error) {
    const AVRational tb = ist_->time_base;
    start_ = job_.startSeconds();
    end_ = job_.endSeconds();
    // The range is on the stream's own timeline, which begins at its start
    // time (an MP3's encoder delay, a leading empty edit, a transport stream's clock).
    origin_ = ist_->start_time != AV_NOPTS_VALUE ? ist_->start_time : 0;
    startTs_ = origin_ + llround(start_ / av_q2d(tb));
    startSample_ = llround(start_ * sampleRate_);
    endSample_ = std::isfinite(end_) ? llround(end_ * sampleRate_) : INT64_MAX;
    // MP3 seeking estimates positions; reading packets from the top is cheap
    // and keeps their times exact. Other formats seek through their index.
    if (start_ > 0 && ist_->codecpar->codec_id != AV_CODEC_ID_MP3)
        av_seek_frame(in_.get(), index_, startTs_, AVSEEK_FLAG_BACKWARD);

    ff::Packet pkt = ff::makePacket();
    int64_t nextTs = AV_NOPTS_VALUE; // for packets without a time
    while (true) {
        if (job_.isCancelled()) return AssetExportResult::Cancelled;
        int rc = av_read_frame(in_.get(), pkt.get());
        if (rc == AVERROR_EOF) break;
        if (rc < 0) {
            *error = AssetExportJob::sourceError(job_.sourcePath, rc);
            return AssetExportResult::Failed;
        }
        if (pkt->stream_index != index_) {
            av_packet_unref(pkt.get());
            continue;
        }
        // Audio plays in decoding order: a composition-time table can give two
        // packets one presentation time, which no muxer takes. The decoding
        // times, kept increasing, are the packets' times.
        int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
        if (ts == AV_NOPTS_VALUE || (nextTs != AV_NOPTS_VALUE && ts < nextTs)) ts = nextTs == AV_NOPTS_VALUE ? origin_ : nextTs;
        int64_t duration = pkt->duration;
        if (duration <= 0 && frameBytes_ > 0)
            duration = av_rescale_q(pkt->size / frameBytes_, AVRational{1, sampleRate_}, tb);
        nextTs = ts + duration;
        const double t0 = double(ts - origin_) * av_q2d(tb);
        const double t1 = double(ts + duration - origin_) * av_q2d(tb);
        if (t0 >= end_) {
            av_packet_unref(pkt.get());
            break;
        }
        if ((t1 <= start_ && duration > 0) || !trim(pkt.get(), ts, duration)) {
            av_packet_unref(pkt.get());
            continue;
        }
        rc = av_interleaved_write_frame(out_.get(), pkt.get());
        if (rc >= 0 && out_->pb->error < 0) rc = out_->pb->error;
        if (rc < 0) {
            *error = AssetExportJob::outputError(job_.outputPath, rc);
            return AssetExportResult::Failed;
        }
        if (std::isfinite(end_))
            job_.reportProgress((t1 - start_) / (end_ - start_));
        else if (in_->duration > 0)
            job_.reportProgress(t1 / (double(in_->duration) / AV_TIME_BASE));
    }
    return AssetExportResult::Completed;
}

bool PassthroughExporter::trim(AVPacket* pkt, int64_t ts, int64_t duration) {
    const AVRational tb = ist_->time_base;
    if (frameBytes_ > 0) {
        // PCM: keep exactly the samples inside the range.
        const int64_t first = av_rescale_q(ts - origin_, tb, AVRational{1, sampleRate_});
        const int64_t count = pkt->size / frameBytes_;
        const int64_t from = std::clamp<int64_t>(startSample_ - first, 0, count);
        const int64_t to = std::clamp<int64_t>(endSample_ - first, 0, count);
        if (to <= from) return false;
        pkt->data += from * frameBytes_;
        pkt->size = int((to - from) * frameBytes_);
        ts = origin_ + av_rescale_q(first + from, AVRational{1, sampleRate_}, tb);
        duration = av_rescale_q(to - from, AVRational{1, sampleRate_}, tb);
    }
    // Times relative to the range's start: a first frame that begins
    // before it gets a negative time, which MPEG-4 writes as an edit list.
    pkt->pts = pkt->dts = ts - startTs_;
    pkt->duration = duration;
    pkt->stream_index = 0;
    pkt->pos = -1;
    av_packet_rescale_ts(pkt, tb, ost_->time_base);
    return true;
}

bool PassthroughExporter::finish(NSError* error) {
    int rc = av_write_trailer(out_.get());
    if (rc >= 0) avio_flush(out_->pb);
    if (rc >= 0 && out_->pb->error < 0) rc = out_->pb->error;
    if (rc >= 0) rc = avio_closep(&out_->pb);
    if (rc < 0) {
        *error = AssetExportJob::outputError(job_.outputPath, rc);
        return false;
    }
    return true;
}

} // namespace quorvel
