#include "HostileCorpus.h"

#include "PlayableCorpus.h"
#include "SampleFiles.h"
#include "platform/core/OSStatus.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <random>

namespace quorvel::samples {

namespace {

QByteArray randomBytes(std::mt19937& rng, int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char(rng() & 0xFF);
    return b;
}

// The bytes with the 32-bit field at `offset` from the first `marker` replaced.
QByteArray patched(QByteArray file, const char* marker, int offset, uint32_t value, bool bigEndian) {
    const qsizetype at = file.indexOf(marker);
    if (at < 0) return {};
    if (bigEndian) putBE32(file, at + offset, value);
    else putLE32(file, at + offset, value);
    return file;
}

} // namespace

std::vector<HostileFile> hostileCorpus(const QString& scratch, uint32_t seed) {
    std::mt19937 rng(seed);
    const QByteArray wav = writtenFile(scratch, fourCC("WAVE"), 0.1, 1);
    const QByteArray aiff = writtenFile(scratch, fourCC("AIFF"), 0.1, 1);
    const QByteArray mp3 = mp3File(scratch, 0.5);
    const QByteArray m4a = writtenFile(scratch, fourCC("m4af"), 0.5, 1);
    const QByteArray movie = movieFile(scratch, 0.5);
    if (wav.isEmpty() || aiff.isEmpty() || mp3.isEmpty() || m4a.isEmpty() || movie.isEmpty()) return {};

    std::vector<HostileFile> files;
    auto add = [&](const QString& name, Expect expect, const QString& what, const QByteArray& bytes) {
        files.push_back({name, expect, what, bytes});
    };

    // Valid files cut short: inside the magic, inside the header, halfway, one byte before the end.
    const std::vector<std::pair<QString, QByteArray>> valid = {
        {QStringLiteral("wav"), wav}, {QStringLiteral("mp3"), mp3}, {QStringLiteral("m4a"), m4a}, {QStringLiteral("aiff"), aiff}};
    for (const auto& [ext, bytes] : valid) {
        for (qsizetype cut : {qsizetype(8), qsizetype(30), bytes.size() / 2, bytes.size() - 1}) {
            // An MPEG-4 file written in one pass keeps its index ("moov") at the end.
            const bool refused = cut <= 30 || (ext == QLatin1String("m4a") && cut == bytes.size() / 2);
            add(QStringLiteral("truncated-%1-of-%2.%3").arg(cut).arg(bytes.size()).arg(ext),
                refused ? Expect::Refused : Expect::Damaged, QStringLiteral("a valid %1 cut after %2 bytes").arg(ext).arg(cut),
                bytes.left(cut));
        }
    }

    // Nothing, and noise, under every extension a song can have.
    for (const char* ext : {"mp3", "m4a", "m4v", "wav", "aif", "aiff"}) {
        add(QStringLiteral("empty.%1").arg(QLatin1String(ext)), Expect::Refused, QStringLiteral("zero bytes"), {});
        add(QStringLiteral("random.%1").arg(QLatin1String(ext)), Expect::Refused, QStringLiteral("4096 random bytes"),
            randomBytes(rng, 4096));
    }
    add(QStringLiteral("text.mp3"), Expect::Refused, QStringLiteral("a text file named .mp3"),
        QByteArray("Track list\n1. Intro 0:31\n2. Song for a phone 3:12\n3. Outro 1:02\n").repeated(40));

    // WAV chunk lengths.
    const qsizetype data = wav.indexOf("data");
    const qsizetype fmt = wav.indexOf("fmt ");
    if (data < 0 || fmt < 0) return {};
    QByteArray w = wav;
    putLE32(w, data + 4, 0x7FFFFFF0);
    add(QStringLiteral("wav-data-beyond-end.wav"), Expect::Damaged, QStringLiteral("\"data\" length far past the end of the file"), w);
    w = wav;
    putLE32(w, data + 4, 0xFFFFFFFF);
    add(QStringLiteral("wav-data-length-unknown.wav"), Expect::Damaged, QStringLiteral("\"data\" length 0xFFFFFFFF"), w);
    w = wav;
    putLE32(w, 4, 0xFFFFFFFF);
    add(QStringLiteral("wav-riff-length-huge.wav"), Expect::Damaged, QStringLiteral("RIFF length 0xFFFFFFFF"), w);
    w = wav;
    putLE32(w, fmt + 4, 0xFFFFFFFF);
    add(QStringLiteral("wav-fmt-length-huge.wav"), Expect::Damaged, QStringLiteral("\"fmt \" length 0xFFFFFFFF"), w);
    const QByteArray pcm = wav.mid(data + 8, 2000);
    {
        QByteArray list = riffChunk("LIST", QByteArray("INFOISFT\x04\x00\x00\x00test", 16));
        putLE32(list, 4, 0xFFFFFFFF); // padded to an even length, it wraps to 0 in 32 bits
        add(QStringLiteral("wav-list-length-wraps.wav"), Expect::Damaged, QStringLiteral("a LIST chunk of length 0xFFFFFFFF before \"data\""),
            riffWave(1, 1, 16, pcm, 1, list));
        QByteArray bext = riffChunk("bext", QByteArray(16, 'b'));
        putLE32(bext, 4, 0xFFFFFFF0);
        add(QStringLiteral("wav-bext-length-huge.wav"), Expect::Damaged, QStringLiteral("a bext chunk of length 0xFFFFFFF0 before \"fmt \""),
            riffWave(1, 1, 16, pcm, 1, {}, bext));
        QByteArray many;
        for (int i = 0; i < 12; ++i) many += riffChunk("JUNK", QByteArray(3, 'j'));
        add(QStringLiteral("wav-twelve-chunks-before-data.wav"), Expect::Damaged, QStringLiteral("twelve odd-length chunks between \"fmt \" and \"data\""),
            riffWave(1, 1, 16, pcm, 1, many));
    }
    add(QStringLiteral("wav-zero-channels.wav"), Expect::Refused, QStringLiteral("a format block with no channels"), riffWave(1, 0, 16, pcm));
    // FFmpeg reads such samples as bytes; the WAV reader refuses them.
    add(QStringLiteral("wav-four-bit.wav"), Expect::Damaged, QStringLiteral("4 bits per sample"), riffWave(1, 1, 4, pcm));
    add(QStringLiteral("wav-extensible-unknown-subformat.wav"), Expect::Refused, QStringLiteral("an extensible block of the unknown sub-format 0x4242"),
        riffWave(0xFFFE, 1, 16, pcm, 0x4242));
    add(QStringLiteral("wav-float-odd-channels.wav"), Expect::Damaged, QStringLiteral("32-bit float, 3 channels, data not a whole frame"),
        riffWave(3, 3, 32, pcm.left(1001)));

    // MPEG-4 atoms.
    const std::vector<Atom> atoms = topLevelAtoms(m4a);
    const Atom* moov = nullptr;
    const Atom* mdat = nullptr;
    for (const Atom& a : atoms) {
        if (a.type == "moov") moov = &a;
        if (a.type == "mdat") mdat = &a;
    }
    if (!moov || !mdat) {
        std::fprintf(stderr, "the M4A made by EAFWrite has no moov or mdat\n");
        return {};
    }
    QByteArray m = m4a;
    m.remove(moov->offset, moov->size);
    add(QStringLiteral("no-moov.m4a"), Expect::Refused, QStringLiteral("an M4A with its \"moov\" removed"), m);
    m = m4a;
    putBE32(m, moov->offset, 0xFFFFFFFF);
    add(QStringLiteral("m4a-moov-size-huge.m4a"), Expect::Damaged, QStringLiteral("\"moov\" size 0xFFFFFFFF"), m);
    m = m4a;
    putBE32(m, moov->offset, 3);
    add(QStringLiteral("m4a-moov-size-3.m4a"), Expect::Damaged, QStringLiteral("\"moov\" size 3 (less than its header)"), m);
    m = m4a;
    putBE32(m, mdat->offset, 0);
    add(QStringLiteral("m4a-mdat-size-zero.m4a"), Expect::Damaged, QStringLiteral("\"mdat\" size 0 (to the end) with \"moov\" after it"), m);
    m = m4a;
    m.insert(mdat->offset, be32(1) + QByteArray("free") + be32(0xFFFFFFFF) + be32(0xFFFFFFF0));
    add(QStringLiteral("m4a-64bit-size-huge.m4a"), Expect::Damaged, QStringLiteral("a 64-bit atom size of 0xFFFFFFFFFFFFFFF0 before \"mdat\""), m);
    m = m4a;
    putBE32(m, moov->offset + 8, uint32_t(moov->size + 100));
    add(QStringLiteral("m4a-child-larger-than-moov.m4a"), Expect::Damaged, QStringLiteral("\"mvhd\" larger than its parent"), m);
    add(QStringLiteral("m4a-stsz-count-huge.m4a"), Expect::Damaged, QStringLiteral("\"stsz\" sample count 0xFFFFFFFF"),
        patched(m4a, "stsz", 12, 0xFFFFFFFF, true));
    add(QStringLiteral("m4a-stco-offset-beyond.m4a"), Expect::Damaged, QStringLiteral("\"stco\" chunk offset past the end"),
        patched(m4a, "stco", 12, 0x7FFFFFF0, true));

    // The movie the importer extracts from, with broken "mdat" sizes.
    const qsizetype movieMdat = movie.indexOf("mdat") - 4;
    if (movieMdat < 0) return {};
    QByteArray mv = movie;
    putBE32(mv, movieMdat, 0xFFFFFFFF);
    add(QStringLiteral("movie-mdat-size-huge.m4v"), Expect::Damaged, QStringLiteral("a QuickTime movie whose \"mdat\" size is 0xFFFFFFFF"), mv);
    mv = movie;
    putBE32(mv, movieMdat, 5);
    add(QStringLiteral("movie-mdat-size-5.m4v"), Expect::Damaged, QStringLiteral("a QuickTime movie whose \"mdat\" size is 5"), mv);
    mv = movie;
    mv.replace(movieMdat, 8, be32(1) + QByteArray("mdat") + be32(0x7FFFFFFF) + be32(0xFFFFFFFF));
    add(QStringLiteral("movie-mdat-64bit-huge.m4v"), Expect::Damaged, QStringLiteral("a QuickTime movie whose \"mdat\" has a 64-bit size near 2^63"), mv);

    // MP3 headers.
    add(QStringLiteral("mp3-id3-size-huge.mp3"), Expect::Damaged, QStringLiteral("an ID3v2 header announcing 256 MB"),
        QByteArray("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10) + mp3);
    const bool xing = mp3.contains("Xing");
    add(QStringLiteral("mp3-xing-frames-huge.mp3"), Expect::Damaged, QStringLiteral("a Xing/Info frame count of 0xFFFFFFFF"),
        patched(mp3, xing ? "Xing" : "Info", 8, 0xFFFFFFFF, true));

    // AIFF chunks.
    QByteArray a = aiff;
    putBE32(a, 4, 0xFFFFFFFF);
    add(QStringLiteral("aiff-form-length-huge.aiff"), Expect::Damaged, QStringLiteral("FORM length 0xFFFFFFFF"), a);
    add(QStringLiteral("aiff-ssnd-length-huge.aiff"), Expect::Damaged, QStringLiteral("SSND length 0xFFFFFFFF"),
        patched(aiff, "SSND", 4, 0xFFFFFFFF, true));
    add(QStringLiteral("aiff-comm-frames-huge.aif"), Expect::Damaged, QStringLiteral("COMM frame count 0xFFFFFFFF"),
        patched(aiff, "COMM", 10, 0xFFFFFFFF, true));
    QByteArray noChannels = aiff;
    const qsizetype comm = noChannels.indexOf("COMM");
    if (comm < 0) return {};
    noChannels[comm + 8] = 0;
    noChannels[comm + 9] = 0;
    add(QStringLiteral("aiff-comm-no-channels.aiff"), Expect::Refused, QStringLiteral("COMM with no channels"), noChannels);

    const std::vector<HostileFile> playable = playableCorpus(scratch);
    if (playable.empty()) return {};
    files.insert(files.end(), playable.begin(), playable.end());

    for (const HostileFile& f : files)
        if (f.bytes.isEmpty() && !f.name.startsWith(QLatin1String("empty."))) {
            std::fprintf(stderr, "could not make %s\n", qPrintable(f.name));
            return {};
        }
    return files;
}

bool writeHostileCorpus(const QString& dir, const QString& scratch, uint32_t seed) {
    const std::vector<HostileFile> files = hostileCorpus(scratch, seed);
    if (files.empty() || !QDir().mkpath(dir)) return false;
    QString manifest = QStringLiteral("# name\texpectation\twhat (made by quorvel_make_samples hostile, seed %1)\n").arg(seed);
    for (const HostileFile& f : files) {
        if (!writeBytes(dir + QLatin1Char('/') + f.name, f.bytes)) return false;
        const QString expect = f.expect == Expect::Refused  ? QStringLiteral("refused")
                               : f.expect == Expect::Plays ? QStringLiteral("plays")
                                                           : QStringLiteral("damaged");
        manifest += f.name + QLatin1Char('\t') + expect + QLatin1Char('\t') + f.what + QLatin1Char('\n');
    }
    return writeBytes(dir + QStringLiteral("/MANIFEST"), manifest.toUtf8());
}

std::vector<HostileFile> readHostileManifest(const QString& dir) {
    std::vector<HostileFile> files;
    const QString text = QString::fromUtf8(readBytes(dir + QStringLiteral("/MANIFEST")));
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('#'))) continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() < 3) continue;
        const Expect expect = parts[1] == QLatin1String("refused") ? Expect::Refused
                              : parts[1] == QLatin1String("plays") ? Expect::Plays
                                                                   : Expect::Damaged;
        files.push_back({parts[0], expect, parts[2], {}});
    }
    return files;
}

} // namespace quorvel::samples
