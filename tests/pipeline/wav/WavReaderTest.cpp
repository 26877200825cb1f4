#include "pipeline/WavReader.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Builds RIFF/WAVE files byte by byte.
struct WavBytes {
    QByteArray bytes;
    void raw(const QByteArray& b) { bytes += b; }
    void u16(uint16_t v) { bytes += char(v & 0xFF); bytes += char(v >> 8); }
    void u32(uint32_t v) { for (int i = 0; i < 4; ++i) bytes += char((v >> (8 * i)) & 0xFF); }
    void chunk(const char* id, const QByteArray& body, bool pad = true) {
        raw(QByteArray(id, 4));
        u32(uint32_t(body.size()));
        raw(body);
        if (pad && (body.size() & 1)) bytes += char(0);
    }
    static QByteArray fmt(uint16_t tag, uint16_t channels, uint16_t bits, uint32_t rate = 44100) {
        WavBytes f;
        f.u16(tag);
        f.u16(channels);
        f.u32(rate);
        f.u32(rate * channels * (bits / 8));
        f.u16(uint16_t(channels * (bits / 8)));
        f.u16(bits);
        return f.bytes;
    }
    static WavBytes header() {
        WavBytes w;
        w.raw("RIFF");
        w.u32(0); // the size is ignored
        w.raw("WAVE");
        return w;
    }
};

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::vector<float> readAllSamples(wav_file* wav, const int* map = nullptr, unsigned chunk = 1000) {
    std::vector<float> out, buf(chunk);
    int n;
    while ((n = wav_read_float32(wav, buf.data(), chunk, map)) > 0) out.insert(out.end(), buf.begin(), buf.begin() + n);
    return out;
}

struct Opened {
    wav_file* wav;
    explicit Opened(const QString& path) : wav(wav_open_read(QFile::encodeName(path).constData())) {}
    ~Opened() { if (wav) wav_close(wav); }
};

int openFileCount() { return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size()); }

} // namespace

TEST(WavReader, EveryFormatMatchesWhatSoxDecodes) {
    if (!haveTool("sox") || !haveTool("ffmpeg")) GTEST_SKIP() << "sox and ffmpeg are needed";
    QTemporaryDir dir;
    const QString source = dir.filePath("source.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "32", "-e", "floating-point", source, "synth", "0.3",
                              "sine", "440", "sine", "663", "gain", "-2"}).exitCode, 0);
    struct Case { const char* name; QString tool; QStringList args; bool isFloat; bool bextFirst = false; };
    const std::vector<Case> cases = {
        {"u8.wav", "sox", {"-b", "8", "-e", "unsigned-integer"}, false},
        {"s16.wav", "sox", {"-b", "16", "-e", "signed-integer"}, false},
        {"s24.wav", "sox", {"-b", "24", "-e", "signed-integer"}, false},
        {"s32.wav", "sox", {"-b", "32", "-e", "signed-integer"}, false},
        {"f32.wav", "sox", {"-b", "32", "-e", "floating-point"}, true},
        {"f64.wav", "sox", {"-b", "64", "-e", "floating-point"}, true},
        {"ff-u8.wav", "ffmpeg", {"-c:a", "pcm_u8"}, false},
        {"ff-s24.wav", "ffmpeg", {"-c:a", "pcm_s24le"}, false},
        {"ff-f64.wav", "ffmpeg", {"-c:a", "pcm_f64le"}, true}, // with a fact chunk
        {"ff-6ch.wav", "ffmpeg", {"-c:a", "pcm_s16le", "-ac", "6"}, false}, // extensible
        {"ff-6ch-f32.wav", "ffmpeg", {"-c:a", "pcm_f32le", "-ac", "6"}, true},
        {"ff-list.wav", "ffmpeg", {"-c:a", "pcm_s16le", "-metadata", "title=Tune", "-metadata", "artist=Me"}, false},
        {"ff-bext.wav", "ffmpeg", {"-c:a", "pcm_s16le", "-write_bext", "1"}, false},
        {"ff-bext-first.wav", "ffmpeg", {"-c:a", "pcm_s24le"}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        QStringList args = c.tool == "sox" ? QStringList{source} + c.args + QStringList{path}
                                           : QStringList{"-v", "error", "-y", "-i", source} + c.args + QStringList{path};
        ASSERT_EQ(runTool(c.tool, args).exitCode, 0);
        if (c.bextFirst) { // a broadcast-wave chunk between the RIFF header and "fmt "
            QByteArray bytes = readAll(path);
            WavBytes bext;
            bext.chunk("bext", QByteArray(602, 'b'));
            bytes.insert(12, bext.bytes);
            writeFile(dir, c.name, bytes);
        }
        // sox decodes every format to signed 32-bit: the reader's scale is that / 65536.
        const QString rawPath = path + ".raw";
        ASSERT_EQ(runTool("sox", {path, "-t", "s32", rawPath}).exitCode, 0);
        QByteArray raw = readAll(rawPath);
        const int channels = c.args.contains("6") ? 6 : 2;

        Opened w(path);
        ASSERT_NE(w.wav, nullptr);
        EXPECT_EQ(w.wav->channels, channels);
        EXPECT_EQ(w.wav->sample_rate, 44100);
        EXPECT_EQ(w.wav->is_float, c.isFloat ? 1 : 0);
        std::vector<float> samples = readAllSamples(w.wav);
        ASSERT_EQ(samples.size() * 4, size_t(raw.size()));
        EXPECT_EQ(size_t(w.wav->frames) * channels, samples.size());
        const double tolerance = c.isFloat ? 0.01 : 0.0;
        int mismatches = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            int32_t v;
            std::memcpy(&v, raw.constData() + 4 * i, 4);
            if (std::abs(double(samples[i]) - v / 65536.0) > tolerance) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(WavReader, CanonicalFileAndTheConversionTable) {
    QTemporaryDir dir;
    // Canonical 16-bit mono, 44-byte header.
    const std::vector<int16_t> s16 = {0, 1, -1, 32767, -32768, 1234};
    ASSERT_TRUE(writeWav16(dir.filePath("c.wav"), s16, 44100, 1));
    ASSERT_EQ(readAll(dir.filePath("c.wav")).size(), 44 + 12);
    {
        Opened w(dir.filePath("c.wav"));
        ASSERT_NE(w.wav, nullptr);
        EXPECT_EQ(w.wav->frames, 6);
        EXPECT_EQ(w.wav->sample_bytes, 2);
        std::vector<float> got = readAllSamples(w.wav);
        ASSERT_EQ(got.size(), s16.size());
        for (size_t i = 0; i < s16.size(); ++i) EXPECT_EQ(got[i], float(s16[i]));
        float buf[4];
        EXPECT_EQ(wav_read_float32(w.wav, buf, 4, nullptr), 0); // after the end
    }
    auto file = [&](const char* name, uint16_t tag, uint16_t bits, const QByteArray& data) {
        WavBytes w = WavBytes::header();
        w.chunk("fmt ", WavBytes::fmt(tag, 1, bits));
        w.chunk("data", data);
        return writeFile(dir, name, w.bytes);
    };
    struct Expect { const char* name; uint16_t tag, bits; QByteArray data; std::vector<float> values; };
    float one = 1.0f, minusHalf = -0.5f;
    double dOne = 1.0;
    const std::vector<Expect> table = {
        {"u8.wav", 1, 8, QByteArray("\x00\x80\xFF", 3), {-32768.f, 0.f, 32512.f}},
        {"s24.wav", 1, 24, QByteArray("\x00\x00\x80\xFF\xFF\x7F", 6), {-32768.f, 32767.99609375f}},
        {"s32.wav", 1, 32, QByteArray("\x00\x00\x00\x80\x00\x00\x01\x00", 8), {-32768.f, 1.f}},
        {"f32.wav", 3, 32, QByteArray(reinterpret_cast<const char*>(&one), 4) + QByteArray(reinterpret_cast<const char*>(&minusHalf), 4), {32768.f, -16384.f}},
        {"f64.wav", 3, 64, QByteArray(reinterpret_cast<const char*>(&dOne), 8), {32768.f}},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(e.name);
        Opened w(file(e.name, e.tag, e.bits, e.data));
        ASSERT_NE(w.wav, nullptr);
        EXPECT_EQ(readAllSamples(w.wav), e.values);
    }
    // Widths that cannot be converted open but read nothing.
    for (auto [tag, bits] : {std::pair<uint16_t, uint16_t>{3, 16}, {1, 40}, {1, 64}, {1, 65535}}) {
        Opened w(file("odd.wav", tag, bits, QByteArray(64, '\x11')));
        ASSERT_NE(w.wav, nullptr);
        float buf[8];
        EXPECT_EQ(wav_read_float32(w.wav, buf, 8, nullptr), 0);
    }
}

TEST(WavReader, ChunksBeforeAndAfterTheFormatBlock) {
    QTemporaryDir dir;
    QByteArray data;
    for (int16_t v : std::initializer_list<int16_t>{100, -100, 200, -200})
        data += QByteArray(reinterpret_cast<const char*>(&v), 2);
    auto build = [&](const char* before, int between, int fmtLength) {
        WavBytes w = WavBytes::header();
        if (before) w.chunk(before, QByteArray(10, 'x'));
        QByteArray fmt = WavBytes::fmt(1, 2, 16);
        fmt.resize(fmtLength, '\x7F'); // longer than 44: the rest is skipped
        w.chunk("fmt ", fmt);
        for (int i = 0; i < between; ++i) w.chunk(i % 2 ? "LIST" : "fact", QByteArray(4 + i, 'y'));
        w.chunk("data", data);
        return w.bytes;
    };
    auto opens = [&](const QByteArray& bytes) {
        Opened w(writeFile(dir, "t.wav", bytes));
        return w.wav && readAllSamples(w.wav) == std::vector<float>{100, -100, 200, -200};
    };
    EXPECT_TRUE(opens(build(nullptr, 0, 16)));
    EXPECT_TRUE(opens(build("BEXT", 0, 16)));
    EXPECT_TRUE(opens(build("bext", 0, 16)));
    EXPECT_FALSE(opens(build("LIST", 0, 16)));
    EXPECT_FALSE(opens(build("JUNK", 0, 16)));
    EXPECT_TRUE(opens(build(nullptr, 11, 16))); // odd lengths too, with their pad byte
    EXPECT_FALSE(opens(build(nullptr, 12, 16)));
    EXPECT_TRUE(opens(build(nullptr, 2, 60)));

    // A chunk after the data chunk is not audio.
    WavBytes trailing;
    trailing.bytes = build(nullptr, 0, 16);
    trailing.chunk("id3 ", QByteArray(100, 'z'));
    EXPECT_TRUE(opens(trailing.bytes));
}

TEST(WavReader, ChannelMapReordersEachFrame) {
    std::vector<float> stereo = {1, 2, 3, 4, 5};
    const int swap[] = {1, 0};
    chan_remap(stereo.data(), 2, 2, swap);
    EXPECT_EQ(stereo, (std::vector<float>{2, 1, 4, 3, 5})); // the half frame stays
    std::vector<float> six = {0, 1, 2, 3, 4, 5};
    const int map6[] = {2, 0, 1, 4, 5, 3};
    chan_remap(six.data(), 6, 1, map6);
    EXPECT_EQ(six, (std::vector<float>{2, 0, 1, 4, 5, 3}));
    std::vector<float> bad = {7, 8};
    const int outOfRange[] = {5, -1};
    chan_remap(bad.data(), 2, 1, outOfRange);
    EXPECT_EQ(bad, (std::vector<float>{7, 8}));

    QTemporaryDir dir;
    ASSERT_TRUE(writeWav16(dir.filePath("s.wav"), {10, 20, 30, 40, 50, 60}, 44100, 2));
    Opened w(dir.filePath("s.wav"));
    ASSERT_NE(w.wav, nullptr);
    float buf[5];
    ASSERT_EQ(wav_read_float32(w.wav, buf, 5, swap), 5);
    EXPECT_EQ(std::vector<float>(buf, buf + 5), (std::vector<float>{20, 10, 40, 30, 50}));
}

TEST(WavReader, HostileHeadersGiveANullHandleOrAnEarlyEnd) {
    QTemporaryDir dir;
    const int filesBefore = openFileCount();
    EXPECT_EQ(wav_open_read(QFile::encodeName(dir.filePath("missing.wav")).constData()), nullptr);
    EXPECT_EQ(Opened(writeFile(dir, "empty.wav", {})).wav, nullptr);

    WavBytes good = WavBytes::header();
    good.chunk("fmt ", WavBytes::fmt(1, 1, 16));
    good.chunk("data", QByteArray(200, '\x01'));
    for (int cut = 0; cut < 44; ++cut) EXPECT_EQ(Opened(writeFile(dir, "cut.wav", good.bytes.left(cut))).wav, nullptr) << cut;
    { // a data chunk cut short ends early
        Opened w(writeFile(dir, "short.wav", good.bytes.left(44 + 51)));
        ASSERT_NE(w.wav, nullptr);
        EXPECT_EQ(w.wav->frames, 100);
        EXPECT_EQ(readAllSamples(w.wav).size(), 25u);
    }
    auto withLength = [&](const char* id, uint32_t length, bool before) {
        WavBytes w = WavBytes::header();
        if (before) { w.raw(QByteArray(id, 4)); w.u32(length); w.raw("abcd"); }
        w.chunk("fmt ", WavBytes::fmt(1, 1, 16));
        if (!before) { w.raw(QByteArray(id, 4)); w.u32(length); w.raw("abcd"); }
        w.chunk("data", QByteArray(8, '\x02'));
        return w.bytes;
    };
    for (uint32_t length : {0x7FFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFFu, 1000u}) {
        EXPECT_EQ(Opened(writeFile(dir, "h.wav", withLength("bext", length, true))).wav, nullptr) << length;
        EXPECT_EQ(Opened(writeFile(dir, "h.wav", withLength("LIST", length, false))).wav, nullptr) << length;
    }
    { // a format chunk that claims to be longer than the file
        WavBytes w = WavBytes::header();
        w.raw("fmt ");
        w.u32(0xFFFFFFF0u);
        w.raw(WavBytes::fmt(1, 1, 16));
        EXPECT_EQ(Opened(writeFile(dir, "f.wav", w.bytes)).wav, nullptr);
    }
    { // an unknown data length (streaming writers) reads to the end of the file
        WavBytes w = WavBytes::header();
        w.chunk("fmt ", WavBytes::fmt(1, 1, 8));
        w.raw("data");
        w.u32(0xFFFFFFFFu);
        w.raw(QByteArray(300, '\x80'));
        Opened o(writeFile(dir, "d.wav", w.bytes));
        ASSERT_NE(o.wav, nullptr);
        EXPECT_EQ(o.wav->frames, INT32_MAX);
        EXPECT_EQ(readAllSamples(o.wav), std::vector<float>(300, 0.0f));
    }
    { // a data length of 0 (an interrupted writer) is read like 0xFFFFFFFF
        WavBytes w = WavBytes::header();
        w.chunk("fmt ", WavBytes::fmt(1, 1, 16));
        w.raw("data");
        w.u32(0);
        for (int i = 0; i < 300; ++i) w.u16(uint16_t(i - 150));
        Opened o(writeFile(dir, "z.wav", w.bytes));
        ASSERT_NE(o.wav, nullptr);
        EXPECT_GT(o.wav->frames, 0);
        const std::vector<float> got = readAllSamples(o.wav);
        ASSERT_EQ(got.size(), 300u);
        EXPECT_EQ(got.front(), -150.0f);
        EXPECT_EQ(got.back(), 149.0f);
    }
    { // ... and when nothing follows it, there is nothing to read
        WavBytes w = WavBytes::header();
        w.chunk("fmt ", WavBytes::fmt(1, 1, 16));
        w.chunk("data", {});
        Opened o(writeFile(dir, "e.wav", w.bytes));
        ASSERT_NE(o.wav, nullptr);
        EXPECT_TRUE(readAllSamples(o.wav).empty());
    }
    // Refused formats: zero channels, less than 8 bits, unknown tag, unknown sub-format, short extension.
    auto format = [&](QByteArray fmt) {
        WavBytes w = WavBytes::header();
        w.chunk("fmt ", fmt);
        w.chunk("data", QByteArray(16, '\x03'));
        return Opened(writeFile(dir, "x.wav", w.bytes)).wav != nullptr;
    };
    EXPECT_FALSE(format(WavBytes::fmt(1, 0, 16)));
    EXPECT_FALSE(format(WavBytes::fmt(1, 1, 4)));
    EXPECT_FALSE(format(WavBytes::fmt(2, 1, 16)));
    WavBytes ext;
    ext.bytes = WavBytes::fmt(0xFFFE, 1, 16);
    ext.u16(22);
    ext.u16(16);
    ext.u32(4);
    ext.raw(QByteArray("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16));
    EXPECT_TRUE(format(ext.bytes));
    QByteArray otherGuid = ext.bytes;
    otherGuid[24] = 2;
    EXPECT_FALSE(format(otherGuid));
    QByteArray shortExtension = ext.bytes;
    shortExtension[16] = 21;
    EXPECT_FALSE(format(shortExtension));

    // Random files and random damage to a good header never crash or hang.
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 400; ++i) {
        QByteArray bytes = i % 2 ? good.bytes : QByteArray(64 + i, '\0');
        const qsizetype changes = i % 2 ? 1 + i % 4 : bytes.size();
        for (int k = 0; k < changes; ++k) bytes[rng() % (i % 2 ? 44 : bytes.size())] = char(byte(rng));
        if (i % 4 == 0) bytes.replace(0, 12, "RIFF\0\0\0\0WAVE"); // get past the first check
        Opened w(writeFile(dir, "r.wav", bytes));
        if (w.wav) {
            std::vector<float> buf(4096);
            while (wav_read_float32(w.wav, buf.data(), 4096, nullptr) > 0) {}
        }
    }
    EXPECT_EQ(openFileCount(), filesBefore); // every failed open closed its stream
}
