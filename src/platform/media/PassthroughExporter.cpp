#include "PassthroughExporter.h"

#include "AVAssetExportSession.h"
#include "FFmpegHandles.h"

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
    int rc = 0;
    ff::InputFormat in = ff::openInput(job.sourcePath, &rc);
    if (!in) {
        *error = AssetExportJob::sourceError(job.sourcePath, rc);
        return AssetExportResult::Failed;
    }
    const int index = ff::bestAudioStream(in.get());
    if (index < 0) {
        *error = AssetExportJob::sourceError(job.sourcePath, index);
        return AssetExportResult::Failed;
    }
    AVStream* ist = in->streams[index];
    const AVRational tb = ist->time_base;
    const int sampleRate = ist->codecpar->sample_rate;
    const int frameBytes = pcmFrameBytes(ist->codecpar);

    const char* muxer = muxerForFileType(job.fileType);
    if (!muxer) {
        *error = AssetExportJob::formatError(QStringLiteral("Unsupported output file type %1").arg(job.fileType));
        return AssetExportResult::Failed;
    }
    AVFormatContext* rawOut = nullptr;
    const QByteArray outPath = job.outputPath.toUtf8();
    rc = avformat_alloc_output_context2(&rawOut, nullptr, muxer, outPath.constData());
    ff::OutputFormat out(rawOut);
    if (rc < 0 || !out) {
        *error = AssetExportJob::outputError(job.outputPath, rc);
        return AssetExportResult::Failed;
    }
    if (avformat_query_codec(out->oformat, ist->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
        *error = AssetExportJob::formatError(QStringLiteral("%1 audio cannot be copied into a %2 file")
                                                 .arg(QString::fromUtf8(avcodec_get_name(ist->codecpar->codec_id)),
                                                      job.fileType));
        return AssetExportResult::Failed;
    }
    AVStream* ost = avformat_new_stream(out.get(), nullptr);
    if (!ost || (rc = avcodec_parameters_copy(ost->codecpar, ist->codecpar)) < 0) {
        *error = AssetExportJob::outputError(job.outputPath, ost ? rc : AVERROR(ENOMEM));
        return AssetExportResult::Failed;
    }
    ost->codecpar->codec_tag = 0;
    ost->time_base = tb;
    if ((rc = avio_open(&out->pb, outPath.constData(), AVIO_FLAG_WRITE)) < 0 ||
        (rc = avformat_write_header(out.get(), nullptr)) < 0) {
        *error = AssetExportJob::outputError(job.outputPath, rc);
        return AssetExportResult::Failed;
    }

    const double start = job.startSeconds();
    const double end = job.endSeconds();
    const int64_t startTs = llround(start / av_q2d(tb));
    const int64_t startSample = llround(start * sampleRate);
    const int64_t endSample = std::isfinite(end) ? llround(end * sampleRate) : INT64_MAX;
    // MP3 seeking estimates positions; reading packets from the top is cheap
    // and keeps their times exact. Other formats seek through their index.
    if (start > 0 && ist->codecpar->codec_id != AV_CODEC_ID_MP3)
        av_seek_frame(in.get(), index, startTs, AVSEEK_FLAG_BACKWARD);

    ff::Packet pkt = ff::makePacket();
    int64_t nextTs = AV_NOPTS_VALUE; // for packets without a time
    while (true) {
        if (job.isCancelled()) return AssetExportResult::Cancelled;
        rc = av_read_frame(in.get(), pkt.get());
        if (rc == AVERROR_EOF) break;
        if (rc < 0) {
            *error = AssetExportJob::sourceError(job.sourcePath, rc);
            return AssetExportResult::Failed;
        }
        if (pkt->stream_index != index) {
            av_packet_unref(pkt.get());
            continue;
        }
        int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (ts == AV_NOPTS_VALUE) ts = nextTs == AV_NOPTS_VALUE ? 0 : nextTs;
        int64_t duration = pkt->duration;
        if (duration <= 0 && frameBytes > 0)
            duration = av_rescale_q(pkt->size / frameBytes, AVRational{1, sampleRate}, tb);
        nextTs = ts + duration;
        const double t0 = double(ts) * av_q2d(tb);
        const double t1 = double(ts + duration) * av_q2d(tb);
        if (t0 >= end) {
            av_packet_unref(pkt.get());
            break;
        }
        if (t1 <= start && duration > 0) {
            av_packet_unref(pkt.get());
            continue;
        }
        if (frameBytes > 0) {
            // PCM: keep exactly the samples inside the range.
            const int64_t first = av_rescale_q(ts, tb, AVRational{1, sampleRate});
            const int64_t count = pkt->size / frameBytes;
            const int64_t from = std::clamp<int64_t>(startSample - first, 0, count);
            const int64_t to = std::clamp<int64_t>(endSample - first, 0, count);
            if (to <= from) {
                av_packet_unref(pkt.get());
                continue;
            }
            pkt->data += from * frameBytes;
            pkt->size = int((to - from) * frameBytes);
            ts = av_rescale_q(first + from, AVRational{1, sampleRate}, tb);
            duration = av_rescale_q(to - from, AVRational{1, sampleRate}, tb);
        }
        // Times relative to the range's start: a first frame that begins
        // before it gets a negative time, which MPEG-4 writes as an edit list.
        pkt->pts = pkt->dts = ts - startTs;
        pkt->duration = duration;
        pkt->stream_index = 0;
        pkt->pos = -1;
        av_packet_rescale_ts(pkt.get(), tb, ost->time_base);
        rc = av_interleaved_write_frame(out.get(), pkt.get());
        if (rc >= 0 && out->pb->error < 0) rc = out->pb->error;
        if (rc < 0) {
            *error = AssetExportJob::outputError(job.outputPath, rc);
            return AssetExportResult::Failed;
        }
        if (std::isfinite(end))
            job.reportProgress((t1 - start) / (end - start));
        else if (in->duration > 0)
            job.reportProgress(t1 / (double(in->duration) / AV_TIME_BASE));
    }
    rc = av_write_trailer(out.get());
    if (rc >= 0) avio_flush(out->pb);
    if (rc >= 0 && out->pb->error < 0) rc = out->pb->error;
    if (rc >= 0) rc = avio_closep(&out->pb);
    if (rc < 0) {
        *error = AssetExportJob::outputError(job.outputPath, rc);
        return AssetExportResult::Failed;
    }
    return AssetExportResult::Completed;
}

} // namespace quorvel
