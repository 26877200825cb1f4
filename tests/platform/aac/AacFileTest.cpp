#include "MusicSignal.h"
#include "TestSupport.h"
#include "platform/aac/AacEncoder.h"
#include "platform/aac/AudioFormat.h"
#include "platform/aac/Mp4AudioWriter.h"
#include "platform/aac/Mp4TagEditor.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Encodes `frames` frames of music-like audio into an .m4a file with the
// encoder and writer as the asset export service and the ringtone writer use them.
bool encodeFile(const QString& path, int frames, int channels, int chunk) {
    AacEncoder encoder;
    AacEncoder::Settings settings;
    settings.channels = channels;
    settings.inputScale = 1.0f; // normalised floats
    if (!encoder.open(settings)) return false;
    auto writer = Mp4AudioWriter::create(path);
    if (!writer) return false;
    writer->setMovieTimeScale(44100);
    if (writer->addAudioTrack(44100, 1024, Mp4AudioWriter::kMpeg4AudioType) != 1) return false;
    writer->setAudioProfileLevel(0x0F);
    const auto& asc = encoder.audioSpecificConfig();
    if (!writer->setDecoderSpecificInfo(asc.data(), asc.size())) return false;
    writer->setEdit(encoder.primingSamples(), 0);
    std::vector<float> input = musicLike(frames, channels);
    std::vector<uint8_t> out(encoder.maxOutputBytes());
    size_t pos = 0;
    for (;;) {
        int n = int(std::min<size_t>(size_t(chunk) * channels, input.size() - pos));
        int bytes = encoder.encode(input.data() + pos, n, out.data(), int(out.size()));
        pos += n;
        if (bytes < 0) return false;
        if (bytes == 0 && n == 0) break;
        if (bytes > 0 && !writer->writeSample(out.data(), bytes)) return false;
    }
    writer->setEditDuration(frames);
    return writer->close();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(AacFile, MonoAndStereoFilesAreAacLcWithTheInputsExactLength) {
    QTemporaryDir dir;
    struct Case { int channels, frames, chunk; } cases[] = {
        {1, 44100, 1024},       // the ringtone writer's shape
        {1, 1000, 1024},        // shorter than one frame
        {2, 3 * 44100 + 77, 4096}, // the export service's stereo, odd length, larger reads
        {2, 5000, 333},         // reads that do not line up with frames
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        QString path = dir.filePath(QStringLiteral("out-%1-%2.m4a").arg(c.channels).arg(c.frames));
        ASSERT_TRUE(encodeFile(path, c.frames, c.channels, c.chunk));
        EXPECT_EQ(probeStreamField(path, "codec_name"), "aac");
        EXPECT_EQ(probeStreamField(path, "profile"), "LC");
        EXPECT_EQ(probeStreamField(path, "sample_rate"), "44100");
        EXPECT_EQ(probeStreamField(path, "channels"), QString::number(c.channels));
        EXPECT_NEAR(probeDuration(path), c.frames / 44100.0, 0.001);
        QByteArray bytes = readAll(path);
        EXPECT_EQ(bytes.mid(4, 8), QByteArray("ftypM4A "));
        EXPECT_TRUE(bytes.contains("iods"));
        EXPECT_TRUE(bytes.contains("elst"));
    }
}

TEST(AacFile, EverySampleIsASyncFrameOf1024ExceptTheTrimmedLast) {
    QTemporaryDir dir;
    QString path = dir.filePath("frames.m4a");
    const int frames = 10 * 1024 + 300;
    ASSERT_TRUE(encodeFile(path, frames, 1, 1024));
    ToolResult r = runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                       "packet=duration,flags", "-of", "csv=p=0", path});
    ASSERT_EQ(r.exitCode, 0);
    QStringList lines = r.out.trimmed().split('\n', Qt::SkipEmptyParts);
    // The priming frame, ten full frames, the frame holding the last 300
    // samples and the encoder's delay.
    ASSERT_EQ(lines.size(), 12) << r.out.toStdString();
    for (int i = 0; i < lines.size(); ++i) {
        QStringList f = lines[i].split(',');
        ASSERT_GE(f.size(), 2);
        EXPECT_EQ(f[0], i + 1 < lines.size() ? "1024" : "300");
        EXPECT_TRUE(f[1].startsWith('K'));
    }
}

TEST(AacFile, WriterRefusesWhatItCannotWrite) {
    QTemporaryDir dir;
    QString error;
    EXPECT_EQ(Mp4AudioWriter::create(dir.filePath("missing/dir/x.m4a"), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    auto writer = Mp4AudioWriter::create(dir.filePath("x.m4a"));
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->addAudioTrack(44100, 1024, 0x41), 0);
    EXPECT_EQ(writer->addAudioTrack(44100, 1024, 0x40), 1);
    EXPECT_EQ(writer->addAudioTrack(44100, 1024, 0x40), 0); // one track only
    const uint8_t bad[] = {0x12};
    EXPECT_FALSE(writer->setDecoderSpecificInfo(bad, sizeof bad));
    const uint8_t sixChannels[] = {0x12, 0x30};
    EXPECT_FALSE(writer->setDecoderSpecificInfo(sixChannels, sizeof sixChannels));
    const uint8_t sample[] = {1, 2, 3};
    EXPECT_FALSE(writer->writeSample(sample, sizeof sample)); // no configuration yet
    EXPECT_FALSE(writer->close());

    AacEncoder encoder;
    AacEncoder::Settings six;
    six.channels = 6;
    EXPECT_FALSE(encoder.open(six));
    EXPECT_LT(encoder.encode(nullptr, 0, nullptr, 0), 0);
}

TEST(Mp4Tags, RingtoneTagsAreWrittenAndEarlierTagsKept) {
    if (!haveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    QTemporaryDir dir;
    QString plain = dir.filePath("plain.m4a"), tagged = dir.filePath("tagged.m4r");
    ASSERT_TRUE(encodeFile(plain, 44100, 1, 1024));
    ASSERT_EQ(runTool("ffmpeg", {"-v", "error", "-y", "-i", plain, "-c", "copy", "-metadata", "title=Song Ä",
                                 "-metadata", "artist=Band", "-f", "ipod", tagged}).exitCode, 0);
    auto editor = Mp4TagEditor::modify(tagged);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->mediaType().has_value());
    editor->setComments("brought to you by ... me!");
    editor->setMediaType(14);
    ASSERT_TRUE(editor->store());
    editor.reset();

    ToolResult r = runTool("exiftool", {"-s", "-Title", "-Artist", "-Comment", "-MediaType", tagged});
    EXPECT_TRUE(r.out.contains("Title") && r.out.contains("Song Ä")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Artist") && r.out.contains("Band")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("brought to you by ... me!")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Ringtone")) << r.out.toStdString();
    EXPECT_NEAR(probeDuration(tagged), 1.0, 0.001); // the audio is intact

    auto again = Mp4TagEditor::modify(tagged);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->mediaType(), 14);
    EXPECT_EQ(again->comments(), "brought to you by ... me!");
}

TEST(Mp4Tags, FilesThatCannotBeModifiedAreRefusedAndLeftAlone) {
    QTemporaryDir dir;
    EXPECT_EQ(Mp4TagEditor::modify(dir.filePath("none.m4r")), nullptr);
    QString text = dir.filePath("text.m4r");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not an mpeg-4 file at all, just some words");
    }
    EXPECT_EQ(Mp4TagEditor::modify(text), nullptr);
    EXPECT_EQ(readAll(text), QByteArray("not an mpeg-4 file at all, just some words"));
}

TEST(AudioFormat, EncoderListDescribesTheExportServicesEncoderAsHardware) {
    const uint32_t aac = kAudioFormatMPEG4AAC;
    auto list = [&] {
        uint32_t size = 0;
        EXPECT_EQ(AudioFormatGetPropertyInfo(kAudioFormatProperty_Encoders, sizeof aac, &aac, &size), noErr);
        std::vector<AudioClassDescription> d(size / sizeof(AudioClassDescription));
        EXPECT_EQ(AudioFormatGetProperty(kAudioFormatProperty_Encoders, sizeof aac, &aac, &size, d.data()), noErr);
        d.resize(size / sizeof(AudioClassDescription));
        return d;
    };
    auto hasManufacturer = [](const std::vector<AudioClassDescription>& d, uint32_t m) {
        for (const auto& e : d)
            if (e.mSubType == kAudioFormatMPEG4AAC && e.mManufacturer == m) return true;
        return false;
    };
    qunsetenv("QUORVEL_NO_HARDWARE_AAC");
    auto all = list();
    EXPECT_TRUE(hasManufacturer(all, kAppleSoftwareAudioCodecManufacturer));
    EXPECT_TRUE(hasManufacturer(all, kAppleHardwareAudioCodecManufacturer));
    qputenv("QUORVEL_NO_HARDWARE_AAC", "1");
    auto software = list();
    EXPECT_EQ(software.size() + 1, all.size());
    EXPECT_FALSE(hasManufacturer(software, kAppleHardwareAudioCodecManufacturer));
    qunsetenv("QUORVEL_NO_HARDWARE_AAC");

    uint32_t size = 0;
    const uint16_t shortSpecifier = 1;
    EXPECT_NE(AudioFormatGetPropertyInfo(kAudioFormatProperty_Encoders, sizeof shortSpecifier, &shortSpecifier, &size), noErr);
    EXPECT_NE(AudioFormatGetPropertyInfo(fourCC("avde"), sizeof aac, &aac, &size), noErr);
    // A buffer too small for one description gets none.
    AudioClassDescription one{};
    size = 11;
    EXPECT_EQ(AudioFormatGetProperty(kAudioFormatProperty_Encoders, sizeof aac, &aac, &size, &one), noErr);
    EXPECT_EQ(size, 0u);
}
