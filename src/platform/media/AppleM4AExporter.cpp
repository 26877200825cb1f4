#include "platform/media/AppleM4AExporter.h"

#include "platform/aac/AacEncoder.h"
#include "platform/aac/Mp4AudioWriter.h"
#include "platform/aac/SplicedAacEncode.h"
#include "platform/media/DecodeAhead.h"
#include "platform/media/SegmentDecoder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

namespace quorvel {

namespace {

constexpr int kOutputRate = SegmentDecoder::kOutputRate;
// Decoded frames are handed to the encoder in blocks of about this many
// samples (a few source frames: fewer hand-overs between the threads), and
// the decoder, on a thread of its own, may run this many blocks ahead.
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

AssetExportResult AppleM4AExporter::run(const AssetExportJob& job, NSError* error, unsigned cores) {
    SegmentDecoder source(job);
    if (!source.open(error)) return AssetExportResult::Failed;
    // Without a known length (or a second core) there is no middle to split at.
    // A source still being written is encoded by one encoder: its writer
    // keeps a core busy, and a second encoder would only slow it down.
    const int64_t expected = cores >= 2 && std::isfinite(job.endSeconds()) && !source.followsGrowingSource()
                                 ? llround(source.totalSeconds() * kOutputRate)
                                 : 0;
    const int64_t split = SplicedAacEncode::splitPoint(expected, kOutputRate, source.alignment());
    std::unique_ptr<Mp4AudioWriter> writer;
    int64_t written = 0; // output samples (per channel)
    const AssetExportResult encoded = split > 0 ? encodeHalves(job, source, split, cores, &writer, &written, error)
                                                : encodeWhole(job, source, &writer, &written, error);
    if (encoded != AssetExportResult::Completed) return encoded;
    writer->setEditDuration(written);
    if (!writer->close()) {
        *error = AssetExportJob::writerError(job.outputPath, writer->lastError());
        return AssetExportResult::Failed;
    }
    return AssetExportResult::Completed;
}

AacEncoder::Settings AppleM4AExporter::encoderSettings(int channels) {
    AacEncoder::Settings settings;
    settings.sampleRate = kOutputRate;
    settings.channels = channels;
    settings.bitRatePerChannel = 128000;
    settings.inputScale = 1.0f;
    return settings;
}

NSError AppleM4AExporter::encoderError(const QString& reason) {
    return AssetExportJob::formatError(QStringLiteral("Cannot open the AAC encoder: %1").arg(reason));
}

std::unique_ptr<Mp4AudioWriter> AppleM4AExporter::openOutput(const AssetExportJob& job,
                                                             const std::vector<uint8_t>& audioSpecificConfig,
                                                             int primingSamples, NSError* error) {
    QString reason;
    auto writer = Mp4AudioWriter::create(job.outputPath, &reason);
    if (!writer) {
        *error = AssetExportJob::writerError(job.outputPath, reason);
        return nullptr;
    }
    writer->setMovieTimeScale(kOutputRate);
    writer->addAudioTrack(kOutputRate, AacEncoder::kFrameSize, Mp4AudioWriter::kMpeg4AudioType);
    writer->setAudioProfileLevel(0x0F);
    writer->setDecoderSpecificInfo(audioSpecificConfig.data(), audioSpecificConfig.size());
    writer->setEdit(primingSamples, 0);
    return writer;
}

NSError AppleM4AExporter::writeError(const AssetExportJob& job, const Mp4AudioWriter& writer) {
    // A full disk is the writer's failure, told in the system's words.
    return writer.lastError().isEmpty() ? AssetExportJob::formatError(QStringLiteral("Cannot encode the audio"))
                                        : AssetExportJob::writerError(job.outputPath, writer.lastError());
}

AssetExportResult AppleM4AExporter::encodeWhole(const AssetExportJob& job, SegmentDecoder& source,
                                                std::unique_ptr<Mp4AudioWriter>* output, int64_t* written,
                                                NSError* error) {
    AacEncoder encoder;
    QString reason;
    if (!encoder.open(encoderSettings(source.channels()), &reason)) {
        *error = encoderError(reason);
        return AssetExportResult::Failed;
    }
    *output = openOutput(job, encoder.audioSpecificConfig(), encoder.primingSamples(), error);
    if (!*output) return AssetExportResult::Failed;
    Mp4AudioWriter& writer = **output;
    EncodeSink sink(encoder, writer);
    const int channels = source.channels();
    const double totalSeconds = source.totalSeconds();
    // Stopped and joined when it goes, however this ends.
    DecodeAhead decoding(source, kBlockSamples, kBlocksAhead);
    std::vector<float> block;
    while (decoding.next(block)) {
        if (job.isCancelled()) return AssetExportResult::Cancelled;
        if (!sink.push(block.data(), int(block.size()))) {
            *error = writeError(job, writer);
            return AssetExportResult::Failed;
        }
        *written += int64_t(block.size()) / channels;
        if (totalSeconds > 0) job.reportProgress(double(*written) / kOutputRate / totalSeconds);
    }
    // A read stopped by the cancel is the cancel.
    if (job.isCancelled()) return AssetExportResult::Cancelled;
    if (decoding.failed(error)) return AssetExportResult::Failed;
    // The encoder's delayed frames.
    if (!sink.finish()) {
        *error = AssetExportJob::writerError(job.outputPath, writer.lastError().isEmpty()
                                                                 ? QStringLiteral("the AAC encoder failed")
                                                                 : writer.lastError());
        return AssetExportResult::Failed;
    }
    return AssetExportResult::Completed;
}

std::unique_ptr<BlockSource> AppleM4AExporter::blocksFor(SegmentDecoder& half, unsigned cores) {
    // With a core to spare for each half's decoder, it runs ahead on a thread
    // of its own. On two or three cores the two encoders fill them: a third
    // and fourth thread would only take turns with them, and on the encoder's
    // own thread each block is encoded while it is still in the cache.
    if (cores >= 4) return std::make_unique<DecodeAhead>(half, kBlockSamples, kBlocksAhead);
    return std::make_unique<SegmentBlocks>(half, kBlockSamples);
}

AssetExportResult AppleM4AExporter::encodeHalves(const AssetExportJob& job, SegmentDecoder& first, int64_t split,
                                                 unsigned cores, std::unique_ptr<Mp4AudioWriter>* output,
                                                 int64_t* written, NSError* error) {
    SegmentDecoder second(job, split - SplicedAacEncode::kPreroll);
    if (!second.open(error)) return AssetExportResult::Failed;
    first.endAfter(split + SplicedAacEncode::kPostroll);
    SplicedAacEncode encode(encoderSettings(first.channels()), split);
    QString reason;
    if (!encode.open(&reason)) {
        *error = encoderError(reason);
        return AssetExportResult::Failed;
    }
    *output = openOutput(job, encode.audioSpecificConfig(), encode.primingSamples(), error);
    if (!*output) return AssetExportResult::Failed;
    Mp4AudioWriter& writer = **output;

    const int channels = first.channels();
    // Progress counts what both encoders take in, rolls included.
    const double work =
        first.totalSeconds() * kOutputRate + double(SplicedAacEncode::kPreroll + SplicedAacEncode::kPostroll);
    std::atomic<int64_t> taken{0};
    auto pullFrom = [&job, &taken, channels, work](BlockSource* decoding) {
        return [&job, &taken, channels, work, decoding](std::vector<float>& block) {
            if (job.isCancelled() || !decoding->next(block)) return false;
            const int64_t frames = int64_t(block.size()) / channels;
            job.reportProgress(double(taken.fetch_add(frames) + frames) / work);
            return true;
        };
    };
    const std::unique_ptr<BlockSource> firstBlocks = blocksFor(first, cores), secondBlocks = blocksFor(second, cores);
    const bool encoded =
        encode.run(pullFrom(firstBlocks.get()), pullFrom(secondBlocks.get()),
                   [&](const uint8_t* data, size_t size) { return writer.writeSample(data, size); }, &reason);
    if (job.isCancelled()) return AssetExportResult::Cancelled;
    if (firstBlocks->failed(error) || secondBlocks->failed(error)) return AssetExportResult::Failed;
    if (!encoded) {
        *error = writeError(job, writer);
        return AssetExportResult::Failed;
    }
    *written = encode.samples();
    return AssetExportResult::Completed;
}

} // namespace quorvel
