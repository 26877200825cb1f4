#include "SeedCorpus.h"

#include "SampleFiles.h"
#include "platform/core/OSStatus.h"

#include <QDir>
#include <cstdio>
#include <vector>

namespace quorvel::samples {

const QStringList& fuzzExtensions() {
    static const QStringList extensions = {QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("m4v"),
                                           QStringLiteral("wav"), QStringLiteral("aif"), QStringLiteral("aiff"),
                                           QStringLiteral("m4p")};
    return extensions;
}

QString fuzzExtensionFor(unsigned char selector) { return fuzzExtensions()[selector % fuzzExtensions().size()]; }

namespace {

QByteArray withExtension(const QString& extension, const QByteArray& file) {
    return QByteArray(1, char(fuzzExtensions().indexOf(extension))) + file;
}

// A short 16-bit ramp, little-endian, for hand-assembled WAV files.
QByteArray pcm(int samples, int bytesPerSample) {
    QByteArray b;
    for (int i = 0; i < samples; ++i)
        for (int k = 0; k < bytesPerSample; ++k) b.append(char((i * 37 + k * 11) & 0xFF));
    return b;
}

} // namespace

bool writeSeedCorpora(const QString& dir, const QString& scratch) {
    struct Seed {
        QString target;
        QString name;
        QByteArray bytes;
    };
    std::vector<Seed> seeds;
    auto add = [&](const char* target, const char* name, const QByteArray& bytes) {
        seeds.push_back({QLatin1String(target), QLatin1String(name), bytes});
    };

    // The WAV reader: every width and layout it converts, and the chunks it skips.
    add("fuzz_wav_reader", "pcm16-mono.wav", writtenFile(scratch, fourCC("WAVE"), 0.005, 1, 16));
    add("fuzz_wav_reader", "pcm24-stereo.wav", writtenFile(scratch, fourCC("WAVE"), 0.005, 2, 24));
    add("fuzz_wav_reader", "pcm8-mono.wav", writtenFile(scratch, fourCC("WAVE"), 0.005, 1, 8));
    add("fuzz_wav_reader", "pcm32-mono.wav", writtenFile(scratch, fourCC("WAVE"), 0.005, 1, 32));
    add("fuzz_wav_reader", "float32-stereo.wav", riffWave(3, 2, 32, pcm(64, 4)));
    add("fuzz_wav_reader", "float64-mono.wav", riffWave(3, 1, 64, pcm(32, 8)));
    add("fuzz_wav_reader", "extensible-pcm24.wav", riffWave(0xFFFE, 2, 24, pcm(64, 3), 1));
    add("fuzz_wav_reader", "extensible-float.wav", riffWave(0xFFFE, 1, 32, pcm(64, 4), 3));
    add("fuzz_wav_reader", "bext-list-fact.wav",
        riffWave(1, 1, 16, pcm(64, 2), 1, riffChunk("fact", le32(64)) + riffChunk("LIST", QByteArray("INFOIART\x03\x00\x00\x00" "abc", 15)),
                 riffChunk("bext", QByteArray(21, 'b'))));

    // The "mdat" walk: the movie the export service makes for an MP3 song, and
    // atom layouts with every kind of size.
    const QByteArray payload = pcm(300, 1);
    add("fuzz_mdat_walk", "exported.mov", movieFile(scratch, 0.1));
    add("fuzz_mdat_walk", "ftyp-free-mdat.mov",
        atom("ftyp", QByteArray("qt  \0\0\0\0qt  ", 12)) + atom("free", {}) + atom("mdat", payload) + atom("moov", atom("mvhd", QByteArray(20, '\0'))));
    add("fuzz_mdat_walk", "mdat-to-end.mov", atom("wide", {}) + be32(0) + QByteArray("mdat") + payload);
    add("fuzz_mdat_walk", "mdat-64bit.mov",
        atom("ftyp", QByteArray("M4A ", 4)) + be32(1) + QByteArray("mdat") + be32(0) + be32(uint32_t(16 + payload.size())) + payload);
    add("fuzz_mdat_walk", "written.m4a", writtenFile(scratch, fourCC("m4af"), 0.05, 1));

    // The decoder behind EAFRead: one file of each kind under its own extension.
    add("fuzz_eafread", "wav", withExtension(QStringLiteral("wav"), writtenFile(scratch, fourCC("WAVE"), 0.02, 2)));
    add("fuzz_eafread", "aiff", withExtension(QStringLiteral("aiff"), writtenFile(scratch, fourCC("AIFF"), 0.02, 1)));
    add("fuzz_eafread", "m4a", withExtension(QStringLiteral("m4a"), writtenFile(scratch, fourCC("m4af"), 0.1, 1)));
    add("fuzz_eafread", "mp3", withExtension(QStringLiteral("mp3"), mp3File(scratch, 0.1)));
    add("fuzz_eafread", "movie.m4v", withExtension(QStringLiteral("m4v"), movieFile(scratch, 0.1)));
    add("fuzz_eafread", "float.wav", withExtension(QStringLiteral("wav"), riffWave(3, 1, 32, pcm(256, 4))));

    // Tags and artwork as the music library reads them.
    add("fuzz_music_library", "tagged.mp3", withExtension(QStringLiteral("mp3"), taggedFile(scratch, QStringLiteral("mp3"), 0.05)));
    add("fuzz_music_library", "tagged.m4a", withExtension(QStringLiteral("m4a"), taggedFile(scratch, QStringLiteral("m4a"), 0.05)));
    add("fuzz_music_library", "tagged.aiff", withExtension(QStringLiteral("aiff"), taggedFile(scratch, QStringLiteral("aiff"), 0.05)));
    add("fuzz_music_library", "protected.m4p", withExtension(QStringLiteral("m4p"), taggedFile(scratch, QStringLiteral("m4a"), 0.05)));
    add("fuzz_music_library", "plain.wav", withExtension(QStringLiteral("wav"), writtenFile(scratch, fourCC("WAVE"), 0.01, 1)));

    for (const Seed& s : seeds) {
        const QString folder = dir + QLatin1Char('/') + s.target;
        if (s.bytes.size() <= 1 || !QDir().mkpath(folder) || !writeBytes(folder + QLatin1Char('/') + s.name, s.bytes)) {
            std::fprintf(stderr, "could not make the seed %s/%s\n", qPrintable(s.target), qPrintable(s.name));
            return false;
        }
    }
    return true;
}

} // namespace quorvel::samples
