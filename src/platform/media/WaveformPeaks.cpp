#include "platform/media/WaveformPeaks.h"

#include "platform/core/WorkerThreads.h"
#include "platform/ffmpeg/FFmpegHandles.h"

#include <QDataStream>
#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel {

namespace {

constexpr quint32 kMagic = 0x51504b31; // "QPK1"
constexpr int kMaxColumns = 1 << 22;  // 86 hours of song

// Collects the mixed-down samples into columns as they are decoded.
class ColumnSink {
public:
    explicit ColumnSink(int sampleRate) : rate_(sampleRate) { nextBoundary_ = boundary(1); }

    // `mono` holds `count` mixed-down samples.
    void add(const float* mono, int64_t count) {
        int64_t i = 0;
        while (i < count) {
            const int64_t take = std::min<int64_t>(count - i, nextBoundary_ - position_);
            for (int64_t k = 0; k < take; ++k) {
                const float v = mono[i + k];
                low_ = std::min(low_, v);
                high_ = std::max(high_, v);
            }
            i += take;
            position_ += take;
            if (position_ == nextBoundary_) closeColumn();
        }
    }

    std::vector<int8_t> finish() {
        if (position_ > boundary(columns_)) closeColumn();
        return std::move(codes_);
    }
    int64_t samples() const { return position_; }

private:
    // The first sample of column `c`.
    int64_t boundary(int64_t c) const { return int64_t(std::floor(double(c) * rate_ / WaveformPeaks::kColumnsPerSecond)); }
    void closeColumn() {
        codes_.push_back(WaveformPeaks::code(low_));
        codes_.push_back(WaveformPeaks::code(high_));
        low_ = std::numeric_limits<float>::infinity();
        high_ = -std::numeric_limits<float>::infinity();
        ++columns_;
        nextBoundary_ = boundary(columns_ + 1);
    }

    int rate_;
    int64_t position_ = 0;
    int64_t nextBoundary_ = 0;
    int64_t columns_ = 0;
    float low_ = std::numeric_limits<float>::infinity();
    float high_ = -std::numeric_limits<float>::infinity();
    std::vector<int8_t> codes_;
};

template <class T> float sampleValue(T v);
template <> float sampleValue(float v) { return v; }
template <> float sampleValue(double v) { return float(v); }
template <> float sampleValue(int16_t v) { return float(v) * (1.0f / 32768.0f); }
template <> float sampleValue(int32_t v) { return float(double(v) * (1.0 / 2147483648.0)); }
template <> float sampleValue(uint8_t v) { return (float(v) - 128.0f) * (1.0f / 128.0f); }
template <> float sampleValue(int64_t v) { return float(double(v) / 9223372036854775808.0); }

// Mixes a decoded frame down to one channel (the channels' mean) into `mono`.
template <class T> void mixDown(const AVFrame* frame, bool planar, std::vector<float>& mono) {
    const int channels = frame->ch_layout.nb_channels;
    const int n = frame->nb_samples;
    mono.assign(size_t(n), 0.0f);
    for (int c = 0; c < channels; ++c) {
        const T* in = reinterpret_cast<const T*>(planar ? frame->extended_data[c] : frame->extended_data[0]);
        const int stride = planar ? 1 : channels;
        const int offset = planar ? 0 : c;
        for (int i = 0; i < n; ++i) mono[size_t(i)] += sampleValue<T>(in[i * stride + offset]);
    }
    if (channels > 1) {
        const float scale = 1.0f / float(channels);
        for (float& v : mono) v *= scale;
    }
}

bool mixDownFrame(const AVFrame* frame, std::vector<float>& mono) {
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT: mixDown<float>(frame, planar, mono); return true;
    case AV_SAMPLE_FMT_DBL: mixDown<double>(frame, planar, mono); return true;
    case AV_SAMPLE_FMT_S16: mixDown<int16_t>(frame, planar, mono); return true;
    case AV_SAMPLE_FMT_S32: mixDown<int32_t>(frame, planar, mono); return true;
    case AV_SAMPLE_FMT_U8: mixDown<uint8_t>(frame, planar, mono); return true;
    case AV_SAMPLE_FMT_S64: mixDown<int64_t>(frame, planar, mono); return true;
    default: return false;
    }
}

} // namespace

int8_t WaveformPeaks::code(float sample) {
    const float magnitude = std::fabs(sample);
    if (!(magnitude > 0.0f)) return 0;
    const double steps = 20.0 * std::log10(double(magnitude)) / kStepDecibels;
    const long level = std::lround(kLevels + steps);
    if (level < 1) return 0;
    const auto m = int8_t(std::min<long>(level, kLevels));
    return sample < 0 ? int8_t(-m) : m;
}

float WaveformPeaks::level(int8_t code) {
    if (code == 0) return 0.0f;
    const int m = std::abs(int(code));
    const float magnitude = float(std::pow(10.0, (m - kLevels) * kStepDecibels / 20.0));
    return code < 0 ? -magnitude : magnitude;
}

double WaveformPeaks::peakDecibels(int column) const {
    const float peak = std::max(std::fabs(minimum(column)), std::fabs(maximum(column)));
    return peak > 0.0f ? 20.0 * std::log10(double(peak)) : -std::numeric_limits<double>::infinity();
}

std::optional<WaveformPeaks> WaveformPeaks::compute(const QString& path, const std::atomic<bool>* cancel,
                                                    QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<WaveformPeaks> {
        if (error) *error = why;
        return std::nullopt;
    };
    const auto cancelled = [cancel] {
        return (cancel && cancel->load(std::memory_order_relaxed)) || WorkerThreads::stopRequested();
    };
    int rc = 0;
    ff::InputFormat in = ff::openInput(path, &rc);
    if (!in) return fail(QStringLiteral("%1 cannot be read: %2").arg(path, ff::errorString(rc)));
    const int index = ff::bestAudioStream(in.get());
    if (index < 0) return fail(QStringLiteral("%1 holds no audio").arg(path));
    // Only the audio is read: cover pictures and other streams are skipped by the demuxer.
    for (unsigned i = 0; i < in->nb_streams; ++i)
        if (int(i) != index) in->streams[i]->discard = AVDISCARD_ALL;
    ff::CodecContext decoder = ff::openDecoder(in->streams[index], &rc);
    if (!decoder) return fail(QStringLiteral("%1 cannot be decoded: %2").arg(path, ff::errorString(rc)));
    if (decoder->sample_rate <= 0) return fail(QStringLiteral("%1 has no sample rate").arg(path));

    ColumnSink sink(decoder->sample_rate);
    ff::Packet packet = ff::makePacket();
    ff::Frame frame = ff::makeFrame();
    std::vector<float> mono;
    const auto drain = [&]() -> bool {
        while ((rc = avcodec_receive_frame(decoder.get(), frame.get())) >= 0) {
            if (!mixDownFrame(frame.get(), mono)) return false;
            sink.add(mono.data(), int64_t(mono.size()));
            av_frame_unref(frame.get());
        }
        return true;
    };
    bool inputDone = false;
    while (!inputDone) {
        if (cancelled()) return fail(QString());
        rc = av_read_frame(in.get(), packet.get());
        if (rc < 0) {
            // The end, or a damaged tail: what was decoded so far is the song.
            inputDone = true;
            avcodec_send_packet(decoder.get(), nullptr);
        } else {
            if (packet->stream_index == index) {
                // A damaged packet is skipped, as players do.
                avcodec_send_packet(decoder.get(), packet.get());
            }
            av_packet_unref(packet.get());
        }
        if (!drain()) return fail(QStringLiteral("%1 has a sample format that cannot be read").arg(path));
        if (double(sink.samples()) / decoder->sample_rate * kColumnsPerSecond > double(kMaxColumns))
            return fail(QStringLiteral("%1 is too long").arg(path));
    }
    if (sink.samples() == 0) return fail(QStringLiteral("%1 holds no decodable audio").arg(path));
    WaveformPeaks peaks;
    peaks.seconds_ = double(sink.samples()) / decoder->sample_rate;
    peaks.codes_ = sink.finish();
    return peaks;
}

QByteArray WaveformPeaks::toBytes() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << kMagic << quint32(columnCount()) << seconds_;
    out.writeRawData(reinterpret_cast<const char*>(codes_.data()), int(codes_.size()));
    return bytes;
}

std::optional<WaveformPeaks> WaveformPeaks::fromBytes(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    quint32 magic = 0, columns = 0;
    double seconds = 0.0;
    in >> magic >> columns >> seconds;
    constexpr qsizetype kHeader = 4 + 4 + 8;
    if (in.status() != QDataStream::Ok || magic != kMagic || columns > quint32(kMaxColumns) ||
        bytes.size() != kHeader + qsizetype(columns) * 2 || !std::isfinite(seconds) || seconds < 0)
        return std::nullopt;
    WaveformPeaks peaks;
    peaks.seconds_ = seconds;
    peaks.codes_.resize(size_t(columns) * 2);
    std::copy(bytes.constBegin() + kHeader, bytes.constEnd(), reinterpret_cast<char*>(peaks.codes_.data()));
    return peaks;
}

} // namespace quorvel
