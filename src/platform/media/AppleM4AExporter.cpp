#include "AppleM4AExporter.h"

#include "AacEncoder.h"
#include "BoundedQueue.h"
#include "Mp4AudioWriter.h"
#include "SegmentDecoder.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace quorvel {

namespace {

constexpr int kOutputRate = SegmentDecoder::kOutputRate;
// Decoded frames are handed to the encoder in blocks of about this many
// samples (a few source frames: fewer hand-overs between the threads), and
// the decoder may run this many blocks ahead.
constexpr size_t kBlockSamples = 16384;
constexpr size_t kBlocksAhead = 8;

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
    SegmentDecoder source(job);
    if (!source.open(error)) return AssetExportResult::Failed;
    const int channels = source.channels();

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

    // Decoding runs on a thread of its own, a few blocks ahead of the
    // encoder, so the two share the machine's cores.
    BoundedQueue<std::vector<float>> blocks(kBlocksAhead);
    NSError decodeError;
    bool decodeFailed = false;
    std::thread decoding([&] {
        std::vector<float> frame, block;
        for (;;) {
            const SegmentDecoder::Read read = source.next(frame, &decodeError);
            if (read == SegmentDecoder::Read::Samples) {
                block.insert(block.end(), frame.begin(), frame.end());
                if (block.size() < kBlockSamples) continue;
            }
            if (!block.empty() && !blocks.push(std::move(block))) break;  // the encoder stopped
            block = {};
            if (read != SegmentDecoder::Read::Samples) {
                decodeFailed = read == SegmentDecoder::Read::Failed;
                break;
            }
        }
        blocks.close();
    });
    auto stopDecoding = [&] {
        blocks.close();
        decoding.join();
    };

    const double totalSeconds = source.totalSeconds();
    int64_t written = 0;  // output samples (per channel) so far
    std::vector<float> block;
    while (blocks.pop(block)) {
        if (job.isCancelled()) {
            stopDecoding();
            return AssetExportResult::Cancelled;
        }
        if (!sink.push(block.data(), int(block.size()))) {
            stopDecoding();
            // A full disk is the writer's failure, told in the system's words.
            *error = writer->lastError().isEmpty()
                         ? AssetExportJob::formatError(QStringLiteral("Cannot encode the audio"))
                         : AssetExportJob::writerError(job.outputPath, writer->lastError());
            return AssetExportResult::Failed;
        }
        written += int64_t(block.size()) / channels;
        if (totalSeconds > 0) job.reportProgress(double(written) / kOutputRate / totalSeconds);
    }
    decoding.join();
    if (decodeFailed) {
        *error = decodeError;
        return AssetExportResult::Failed;
    }
    if (job.isCancelled()) return AssetExportResult::Cancelled;
    // The encoder's delayed frames.
    if (!sink.finish()) {
        *error = AssetExportJob::writerError(job.outputPath, writer->lastError().isEmpty()
                                                                 ? QStringLiteral("the AAC encoder failed")
                                                                 : writer->lastError());
        return AssetExportResult::Failed;
    }
    writer->setEditDuration(written);
    if (!writer->close()) {
        *error = AssetExportJob::writerError(job.outputPath, writer->lastError());
        return AssetExportResult::Failed;
    }
    return AssetExportResult::Completed;
}

} // namespace quorvel
