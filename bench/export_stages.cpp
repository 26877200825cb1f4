// Where the time of a plain export goes, stage by stage, each stage timed on
// its own (median of N runs) on the same job as `quorvel-cli make SONG
// --start 60 --length 39.9 --fade-in 1.5 --fade-out 3`: the cut of the
// segment, its decode, the fades, the AAC encode (one encoder, and the
// two-thread split the export uses), the MPEG-4 writing, the tags, and the
// whole export service run as it runs in the program (decode ahead, encode on
// both cores).
// Usage: export_stages <song> <work folder> [runs]
#include "platform/aac/AacEncoder.h"
#include "platform/aac/Mp4AudioWriter.h"
#include "platform/aac/Mp4TagEditor.h"
#include "platform/aac/SplicedAacEncode.h"
#include "platform/core/WorkerThreads.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/media/AVAudioMix.h"
#include "platform/media/AppleM4AExporter.h"
#include "platform/media/AssetExportJob.h"
#include "platform/media/PassthroughExporter.h"
#include "platform/media/SegmentDecoder.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorvel;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timed(int runs, const std::function<void()>& stage) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        stage();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return median(times);
}

std::shared_ptr<AVAudioMix> fades() {
    auto parameters = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(1);
    parameters->setVolume(0.0f, kCMTimeZero);
    parameters->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMake(0, 10), CMTimeMake(15, 10)));
    parameters->setVolumeRamp(1.0f, 0.0f, CMTimeRangeMake(CMTimeMake(369, 10), CMTimeMake(30, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({parameters});
    return mix;
}

std::vector<float> decodeAll(const AssetExportJob& job, int* channels) {
    SegmentDecoder decoder(job);
    NSError error;
    std::vector<float> all, block;
    if (!decoder.open(&error)) return all;
    *channels = decoder.channels();
    while (decoder.next(block, &error) == SegmentDecoder::Read::Samples) all.insert(all.end(), block.begin(), block.end());
    return all;
}

std::vector<std::vector<uint8_t>> encodeAll(const std::vector<float>& pcm, int channels) {
    AacEncoder encoder;
    AacEncoder::Settings settings;
    settings.channels = channels;
    settings.inputScale = 1.0f;
    encoder.open(settings);
    std::vector<std::vector<uint8_t>> packets;
    std::vector<uint8_t> out(size_t(encoder.maxOutputBytes()));
    const int frame = encoder.inputSamples();
    for (size_t at = 0;; at += size_t(frame)) {
        const int count = int(std::min<size_t>(size_t(frame), pcm.size() - std::min(at, pcm.size())));
        const int bytes = encoder.encode(count ? pcm.data() + at : nullptr, count, out.data(), int(out.size()));
        if (bytes < 0 || (bytes == 0 && count == 0)) break;
        if (bytes > 0) packets.emplace_back(out.begin(), out.begin() + bytes);
    }
    return packets;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: export_stages <song> <work folder> [runs]\n");
        return 2;
    }
    const QString song = QString::fromLocal8Bit(argv[1]);
    const QString work = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    // An MP3 is cut into a QuickTime movie (the importer then copies its
    // packets out, a plain copy); an M4A into an M4A.
    const bool mp3 = song.endsWith(QLatin1String(".mp3"));
    const QString cut = work + (mp3 ? QStringLiteral("/.tmpExport.mov") : QStringLiteral("/.tmpExport.m4a"));
    const QString out = work + QStringLiteral("/stages.m4r");

    AssetExportJob cutJob;
    cutJob.sourcePath = song;
    cutJob.outputPath = cut;
    cutJob.fileType = mp3 ? AVFileTypeQuickTimeMovie : AVFileTypeAppleM4A;
    cutJob.range = CMTimeRangeMake(CMTimeMake(60000, 1000), CMTimeMake(39900, 1000));
    NSError error;
    const double cutTime = timed(runs, [&] {
        QFile::remove(cut);
        PassthroughExporter::run(cutJob, &error);
    });
    if (!error.domain.isEmpty()) {
        std::fprintf(stderr, "cut: %s\n", qPrintable(describe(error)));
        return 1;
    }

    AssetExportJob job;
    job.sourcePath = cut;
    job.range = CMTimeRangeMake(CMTimeMake(0, 10), CMTimeMake(399, 10));
    int channels = 0;
    decodeAll(job, &channels); // warms the file cache and the CPU before the first figure
    const double decodeTime = timed(runs, [&] { decodeAll(job, &channels); });
    job.mix = fades();
    std::vector<float> pcm;
    const double decodeFadeTime = timed(runs, [&] { pcm = decodeAll(job, &channels); });
    std::vector<std::vector<uint8_t>> packets;
    const double encodeTime = timed(runs, [&] { packets = encodeAll(pcm, channels); });

    AacEncoder reference;
    AacEncoder::Settings settings;
    settings.channels = channels;
    settings.inputScale = 1.0f;
    reference.open(settings);
    const double splitTime = timed(runs, [&] {
        const int64_t total = int64_t(pcm.size()) / channels;
        const int64_t at = SplicedAacEncode::splitPoint(total, 44100);
        SplicedAacEncode split(settings, at);
        split.open(nullptr);
        auto pullFrom = [&](int64_t from) {
            return [&pcm, channels, offset = size_t(from * channels)](std::vector<float>& block) mutable {
                if (offset >= pcm.size()) return false;
                const size_t n = std::min<size_t>(16384, pcm.size() - offset);
                block.assign(pcm.begin() + ptrdiff_t(offset), pcm.begin() + ptrdiff_t(offset + n));
                offset += n;
                return true;
            };
        };
        split.run(pullFrom(0), pullFrom(at - SplicedAacEncode::kPreroll), [](const uint8_t*, size_t) { return true; },
                  nullptr);
    });

    const double muxTime = timed(runs, [&] {
        QFile::remove(out);
        auto writer = Mp4AudioWriter::create(out);
        writer->setMovieTimeScale(44100);
        writer->addAudioTrack(44100, AacEncoder::kFrameSize, Mp4AudioWriter::kMpeg4AudioType);
        writer->setAudioProfileLevel(0x0F);
        writer->setDecoderSpecificInfo(reference.audioSpecificConfig().data(), reference.audioSpecificConfig().size());
        writer->setEdit(reference.primingSamples(), int64_t(pcm.size()) / channels);
        for (const auto& p : packets) writer->writeSample(p.data(), p.size());
        writer->close();
    });
    bool tagged = true;
    const double tagTime = timed(runs, [&] {
        auto tags = Mp4TagEditor::modify(out);
        if (!tags) {
            tagged = false;
            return;
        }
        tags->setComments(QStringLiteral("brought to you by ... me!"));
        tags->setMediaType(14);
        tags->store();
    });

    if (!tagged) std::fprintf(stderr, "the tags could not be written\n");
    job.outputPath = out;
    const double wholeTime = timed(runs, [&] {
        QFile::remove(out);
        AppleM4AExporter::run(job, &error);
    });

    std::printf("cut (passthrough)          %7.1f ms\n", cutTime * 1e3);
    std::printf("decode                     %7.1f ms\n", decodeTime * 1e3);
    // Outside the fades a block takes one gain, so they may cost less than the noise.
    if (decodeFadeTime - decodeTime < 0.5e-3)
        std::printf("fades                      below measurement\n");
    else
        std::printf("fades                      %7.1f ms\n", (decodeFadeTime - decodeTime) * 1e3);
    std::printf("encode, one thread         %7.1f ms\n", encodeTime * 1e3);
    std::printf("encode, split on 2 threads %7.1f ms\n", splitTime * 1e3);
    std::printf("mux (MPEG-4 writing)       %7.1f ms\n", muxTime * 1e3);
    std::printf("tag                        %7.1f ms\n", tagTime * 1e3);
    std::printf("export service run (all)   %7.1f ms\n", wholeTime * 1e3);
    QFile::remove(cut);
    QFile::remove(out);
    WorkerThreads::joinAll(); // before the statics the workers use go
    return 0;
}
