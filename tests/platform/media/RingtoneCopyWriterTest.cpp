// Save a Copy's formats, read back by ffprobe and exiftool: the MPEG-4
// copies are the stored bytes, the Ogg copy is Opus (or Vorbis) of the same
// length with the title, artist and artwork; nothing is replaced or left behind.
#include "platform/media/RingtoneCopyWriter.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class RingtoneCopyWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ringtone_ = dir_.filePath("Bells-1.m4r");
        // A stored ringtone as the exports write it: AAC-LC mono in MPEG-4.
        const ToolResult made = runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=f=660:d=7.5", "-ac", "1",
                                                   "-c:a", "aac", "-b:a", "128k", "-f", "ipod", ringtone_});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        QImage art(64, 64, QImage::Format_RGB32);
        art.fill(QColor(200, 80, 40));
        QBuffer buffer(&tags_.artworkPng);
        buffer.open(QIODevice::WriteOnly);
        art.save(&buffer, "PNG");
        tags_.title = QStringLiteral("Bells");
        tags_.artist = QStringLiteral("Band Ä");
    }
    QString exif(const QString& path, const QString& tag) {
        return runTool("exiftool", {"-s3", "-" + tag, path}).out.trimmed();
    }
    QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    QString ringtone_;
    RingtoneCopyTags tags_;
};

} // namespace

TEST_F(RingtoneCopyWriterTest, MpegFourCopiesAreTheStoredBytes) {
    for (RingtoneCopyFormat f : {RingtoneCopyFormat::M4r, RingtoneCopyFormat::M4a}) {
        const QString out = dir_.filePath("copy." + RingtoneCopyWriter::extension(f));
        QString error;
        ASSERT_TRUE(RingtoneCopyWriter::write(ringtone_, out, f, tags_, false, &error)) << error.toStdString();
        EXPECT_EQ(bytes(out), bytes(ringtone_));
        EXPECT_EQ(probeStreamField(out, "codec_name"), "aac");
    }
}

TEST_F(RingtoneCopyWriterTest, OggCopyIsOpusOfTheSameLengthWithTags) {
    const QString out = dir_.filePath("Bells-1.ogg");
    QString error;
    ASSERT_TRUE(RingtoneCopyWriter::write(ringtone_, out, RingtoneCopyFormat::Ogg, tags_, false, &error))
        << error.toStdString();
    const QString codec = RingtoneCopyWriter::oggEncoderName() == "libopus" ? "opus" : "vorbis";
    EXPECT_EQ(probeStreamField(out, "codec_name"), codec);
    EXPECT_NEAR(probeDuration(out), probeDuration(ringtone_), 0.05);
    if (codec == "opus") {
        const double bitRate = runTool("ffprobe", {"-v", "error", "-show_entries", "format=bit_rate", "-of",
                                                   "default=nw=1:nk=1", out})
                                   .out.trimmed()
                                   .toDouble();
        // Opus at 96 kbit/s varies with the music; the headers and the artwork add a little.
        EXPECT_GT(bitRate, 70000);
        EXPECT_LT(bitRate, 130000);
    }
    EXPECT_EQ(exif(out, "Title"), "Bells");
    EXPECT_EQ(exif(out, "Artist"), "Band Ä");
    EXPECT_EQ(exif(out, "PictureMIMEType"), "image/png");
    EXPECT_EQ(exif(out, "PictureWidth"), "64");
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Hidden | QDir::Files).filter(".part").isEmpty());
}

TEST_F(RingtoneCopyWriterTest, AFileAlreadyThereIsKeptUnlessReplacing) {
    const QString out = dir_.filePath("mine.m4a");
    {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the user's own file");
    }
    QString error;
    EXPECT_FALSE(RingtoneCopyWriter::write(ringtone_, out, RingtoneCopyFormat::M4a, tags_, false, &error));
    EXPECT_TRUE(error.contains("already there"));
    EXPECT_EQ(bytes(out), QByteArray("the user's own file"));
    ASSERT_TRUE(RingtoneCopyWriter::write(ringtone_, out, RingtoneCopyFormat::M4a, tags_, true, &error));
    EXPECT_EQ(bytes(out), bytes(ringtone_));
}

TEST_F(RingtoneCopyWriterTest, BadPlacesAndSourcesSaySoAndLeaveNothing) {
    QString error;
    EXPECT_FALSE(RingtoneCopyWriter::write(ringtone_, dir_.filePath("no/such/folder/x.m4r"), RingtoneCopyFormat::M4r,
                                           tags_, false, &error));
    EXPECT_TRUE(error.contains("does not exist"));
    EXPECT_FALSE(RingtoneCopyWriter::write(dir_.filePath("gone.m4r"), dir_.filePath("x.ogg"), RingtoneCopyFormat::Ogg,
                                           tags_, false, &error));
    EXPECT_TRUE(error.contains("not there"));
    // Not audio at all: the transcode fails and its work file goes.
    const QString junk = dir_.filePath("junk.m4r");
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4000, 'x'));
    }
    EXPECT_FALSE(RingtoneCopyWriter::write(junk, dir_.filePath("x.ogg"), RingtoneCopyFormat::Ogg, tags_, false, &error));
    EXPECT_FALSE(QFile::exists(dir_.filePath("x.ogg")));
    EXPECT_FALSE(QFile::exists(dir_.filePath(".x.ogg.part")));
    EXPECT_FALSE(RingtoneCopyWriter::write(ringtone_, ringtone_, RingtoneCopyFormat::M4r, tags_, true, &error));
    EXPECT_TRUE(QFile::exists(ringtone_));
}

TEST(RingtoneCopyFormats, ExtensionsAreRecognisedInAnyCase) {
    EXPECT_EQ(RingtoneCopyWriter::formatForExtension(".OGG"), RingtoneCopyFormat::Ogg);
    EXPECT_EQ(RingtoneCopyWriter::formatForExtension("m4a"), RingtoneCopyFormat::M4a);
    EXPECT_FALSE(RingtoneCopyWriter::formatForExtension("mp3").has_value());
}
