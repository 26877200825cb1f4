#include "platform/aac/AacEncoder.h"

#include "platform/core/VectorState.h"
#include "platform/ffmpeg/FFmpegHandles.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/opt.h>
}
#include <algorithm>
#include <deque>
#include <mutex>

namespace quorvel {

struct AacEncoder::Impl {
    Settings settings;
    ff::CodecContext codec;
    ff::Frame frame;
    ff::Packet packet;
    std::vector<uint8_t> asc;
    std::vector<std::vector<float>> pending; // per channel, fewer than one frame
    std::deque<std::vector<uint8_t>> ready;  // frames not yet handed out
    int64_t samplesSent = 0;                 // per channel, the next frame's pts
    bool flushing = false;
    bool drained = false;

    int sendPending(int count);
    int receiveAll();
};

AacEncoder::AacEncoder() : d(std::make_unique<Impl>()) {}
AacEncoder::~AacEncoder() = default;

bool AacEncoder::open(const Settings& settings, QString* error) {
    // The encoder reports its statistics at the informational level on every
    // close; keep standard error for warnings and errors.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_WARNING);
    });
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        d->codec.reset();
        return false;
    };
    if (settings.channels < 1 || settings.channels > 2) return fail(QStringLiteral("AAC encoder: 1 or 2 channels only"));
    if (settings.sampleRate <= 0 || settings.bitRatePerChannel <= 0) return fail(QStringLiteral("AAC encoder: bad rate"));
    const AVCodec* aac = avcodec_find_encoder_by_name("aac");
    if (!aac) return fail(QStringLiteral("AAC encoder: libavcodec has no \"aac\" encoder"));

    d->settings = settings;
    d->codec.reset(avcodec_alloc_context3(aac));
    if (!d->codec) return fail(QStringLiteral("AAC encoder: out of memory"));
    AVCodecContext* c = d->codec.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = settings.sampleRate;
    av_channel_layout_default(&c->ch_layout, settings.channels);
    c->bit_rate = settings.bitRatePerChannel * settings.channels;
    c->profile = FF_PROFILE_AAC_LOW;
    c->cutoff = settings.bandWidth;
    c->time_base = AVRational{1, settings.sampleRate};
    // Mid/side: -1 lets the encoder decide per band, 0 never uses it.
    av_opt_set_int(c->priv_data, "aac_ms", settings.midSide ? -1 : 0, 0);
    av_opt_set_int(c->priv_data, "aac_tns", settings.temporalNoiseShaping ? 1 : 0, 0);
    int rc = avcodec_open2(c, aac, nullptr);
    if (rc < 0) return fail(QStringLiteral("AAC encoder: ") + ff::errorString(rc));
    if (c->frame_size != kFrameSize || !c->extradata || c->extradata_size < 2)
        return fail(QStringLiteral("AAC encoder: unexpected frame size or configuration"));

    d->asc.assign(c->extradata, c->extradata + c->extradata_size);
    d->frame = ff::makeFrame();
    d->packet = ff::makePacket();
    if (!d->frame || !d->packet) return fail(QStringLiteral("AAC encoder: out of memory"));
    d->frame->format = AV_SAMPLE_FMT_FLTP;
    d->frame->sample_rate = settings.sampleRate;
    av_channel_layout_copy(&d->frame->ch_layout, &c->ch_layout);
    d->pending.assign(settings.channels, {});
    for (auto& p : d->pending) p.reserve(kFrameSize);
    d->ready.clear();
    d->samplesSent = 0;
    d->flushing = d->drained = false;
    return true;
}

bool AacEncoder::isOpen() const { return bool(d->codec); }
int AacEncoder::channels() const { return d->settings.channels; }
int AacEncoder::inputSamples() const { return kFrameSize * d->settings.channels; }
int AacEncoder::maxOutputBytes() const { return kMaxFrameBytesPerChannel * d->settings.channels; }
int AacEncoder::primingSamples() const { return d->codec ? d->codec->initial_padding : 0; }
const std::vector<uint8_t>& AacEncoder::audioSpecificConfig() const { return d->asc; }

// Sends the first `count` pending samples of each channel as one frame.
int AacEncoder::Impl::sendPending(int count) {
    frame->nb_samples = count;
    int rc = av_frame_get_buffer(frame.get(), 0);
    if (rc < 0) return rc;
    for (size_t ch = 0; ch < pending.size(); ++ch) {
        auto* dst = reinterpret_cast<float*>(frame->data[ch]);
        std::copy(pending[ch].begin(), pending[ch].begin() + count, dst);
        pending[ch].erase(pending[ch].begin(), pending[ch].begin() + count);
    }
    frame->pts = samplesSent;
    samplesSent += count;
    rc = avcodec_send_frame(codec.get(), frame.get());
    av_frame_unref(frame.get());
    if (rc < 0) return rc;
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = settings.sampleRate;
    av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    return receiveAll();
}

// Moves every frame the encoder has finished into `ready`.
int AacEncoder::Impl::receiveAll() {
    for (;;) {
        int rc = avcodec_receive_packet(codec.get(), packet.get());
        if (rc == AVERROR(EAGAIN)) return 0;
        if (rc == AVERROR_EOF) {
            drained = true;
            return 0;
        }
        if (rc < 0) return rc;
        ready.emplace_back(packet->data, packet->data + packet->size);
        av_packet_unref(packet.get());
    }
}

int AacEncoder::encode(const float* input, int samples, uint8_t* out, int outSize) {
    clearUpperVectorState();
    if (!d->codec || samples < 0 || (samples > 0 && !input)) return -1;
    const int channels = d->settings.channels;
    if (samples > 0) {
        if (d->flushing) return -1; // no input after the end of input
        const int frames = samples / channels;
        const float scale = d->settings.inputScale;
        // Up to the end of the pending frame at a time, one channel after the other.
        for (int at = 0; at < frames;) {
            const int n = std::min(kFrameSize - int(d->pending[0].size()), frames - at);
            for (int ch = 0; ch < channels; ++ch) {
                std::vector<float>& plane = d->pending[ch];
                const size_t old = plane.size();
                plane.resize(old + size_t(n));
                const float* from = input + size_t(at) * size_t(channels) + size_t(ch);
                for (int i = 0; i < n; ++i) plane[old + size_t(i)] = from[size_t(i) * size_t(channels)] * scale;
            }
            at += n;
            if (int(d->pending[0].size()) == kFrameSize) {
                int rc = d->sendPending(kFrameSize);
                if (rc < 0) return rc;
            }
        }
    } else if (!d->flushing) {
        d->flushing = true;
        if (!d->pending[0].empty()) {
            int rc = d->sendPending(int(d->pending[0].size()));
            if (rc < 0) return rc;
        }
        int rc = avcodec_send_frame(d->codec.get(), nullptr);
        if (rc < 0) return rc;
    }
    if (d->ready.empty() && d->flushing && !d->drained) {
        int rc = d->receiveAll();
        if (rc < 0) return rc;
    }
    if (d->ready.empty()) return 0;
    std::vector<uint8_t> next = std::move(d->ready.front());
    d->ready.pop_front();
    if (int(next.size()) > outSize || !out) return -1;
    std::copy(next.begin(), next.end(), out);
    return int(next.size());
}

} // namespace quorvel
