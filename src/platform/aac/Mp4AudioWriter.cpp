#include "platform/aac/Mp4AudioWriter.h"

#include "platform/ffmpeg/FFmpegHandles.h"

#include <algorithm>
#include <vector>

namespace quorvel {

namespace {

// Reads the channel count from an AudioSpecificConfig (ISO 14496-3 1.6.2.1):
// object type (5 bits, escaped by 31), frequency index (4 bits, escaped by 15
// with 24 bits of rate), channel configuration (4 bits). 0 when it is invalid.
int ascChannels(const uint8_t* data, size_t size) {
    size_t bit = 0;
    auto take = [&](int n) -> int {
        int v = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            if (bit / 8 >= size) return -1;
            v = (v << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v;
    };
    int object = take(5);
    if (object == 31) object = take(6);
    if (object <= 0) return 0;
    int freq = take(4);
    if (freq < 0) return 0;
    if (freq == 15 && take(24) < 0) return 0;
    int channels = take(4);
    return channels == 1 || channels == 2 ? channels : 0;
}

} // namespace

struct Mp4AudioWriter::Impl {
    ff::OutputFormat format;
    AVStream* stream = nullptr;
    QString path;
    QString error;
    uint32_t movieTimeScale = 1000;
    uint32_t sampleDuration = 1024;
    int profileLevel = -1;
    bool haveConfig = false;
    bool headerWritten = false;
    bool closed = false;
    int64_t editStart = 0;
    int64_t editDuration = 0;
    int64_t mediaTime = 0; // decode time of the next sample to write
    std::vector<uint8_t> held; // the last sample, kept back so its duration can be trimmed
    int64_t heldDuration = 0;
    bool haveHeld = false;

    bool fail(const QString& why) {
        error = why;
        return false;
    }
    bool writeHeader();
    bool writeHeld(int64_t duration);
};

Mp4AudioWriter::Mp4AudioWriter() : d(std::make_unique<Impl>()) {}
Mp4AudioWriter::~Mp4AudioWriter() = default;

std::unique_ptr<Mp4AudioWriter> Mp4AudioWriter::create(const QString& path, QString* error) {
    std::unique_ptr<Mp4AudioWriter> w(new Mp4AudioWriter());
    QByteArray utf8 = path.toUtf8();
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, "ipod", utf8.constData());
    w->d->format.reset(raw);
    if (rc >= 0) rc = avio_open(&raw->pb, utf8.constData(), AVIO_FLAG_WRITE);
    if (rc >= 0) {
        // The muxer only names the file in a warning about any extension
        // other than ".m4a" (ringtones are ".m4r" by design); it writes
        // through the opened stream, so it is given a name it accepts.
        av_freep(&raw->url);
        raw->url = av_strdup("audio.m4a");
        if (!raw->url) rc = AVERROR(ENOMEM);
    }
    if (rc < 0) {
        if (error) *error = path + QStringLiteral(": ") + ff::errorString(rc);
        return nullptr;
    }
    w->d->path = path;
    return w;
}

void Mp4AudioWriter::setMovieTimeScale(uint32_t timeScale) {
    if (timeScale > 0) d->movieTimeScale = timeScale;
}

int Mp4AudioWriter::addAudioTrack(uint32_t timeScale, uint32_t sampleDuration, uint8_t audioType) {
    if (d->stream || audioType != kMpeg4AudioType || timeScale == 0 || timeScale > INT32_MAX || sampleDuration == 0)
        return 0;
    d->stream = avformat_new_stream(d->format.get(), nullptr);
    if (!d->stream) return 0;
    AVCodecParameters* par = d->stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_AAC;
    par->sample_rate = int(timeScale);
    par->frame_size = int(sampleDuration);
    par->profile = FF_PROFILE_AAC_LOW;
    d->stream->time_base = AVRational{1, int(timeScale)};
    d->sampleDuration = sampleDuration;
    return 1;
}

void Mp4AudioWriter::setAudioProfileLevel(uint8_t profileLevel) { d->profileLevel = profileLevel; }

bool Mp4AudioWriter::setDecoderSpecificInfo(const uint8_t* data, size_t size) {
    if (!d->stream || d->headerWritten || !data || size == 0 || size > 64) return false;
    int channels = ascChannels(data, size);
    if (channels == 0) return false;
    AVCodecParameters* par = d->stream->codecpar;
    av_freep(&par->extradata);
    par->extradata_size = 0;
    par->extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata) return false;
    std::copy(data, data + size, par->extradata);
    par->extradata_size = int(size);
    av_channel_layout_uninit(&par->ch_layout);
    av_channel_layout_default(&par->ch_layout, channels);
    d->haveConfig = true;
    return true;
}

void Mp4AudioWriter::setEdit(int64_t mediaStart, int64_t duration) {
    if (d->headerWritten) return; // the samples' times depend on it
    d->editStart = std::max<int64_t>(0, mediaStart);
    d->editDuration = std::max<int64_t>(0, duration);
}

void Mp4AudioWriter::setEditDuration(int64_t duration) { d->editDuration = std::max<int64_t>(0, duration); }

bool Mp4AudioWriter::Impl::writeHeader() {
    if (headerWritten) return true;
    if (!stream || !haveConfig) return fail(QStringLiteral("no configured audio track"));
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "movie_timescale", movieTimeScale, 0);
    if (profileLevel >= 0) {
        av_dict_set_int(&options, "iods_audio_profile", profileLevel, 0);
        av_dict_set_int(&options, "skip_iods", 0, 0);
    }
    int rc = avformat_write_header(format.get(), &options);
    av_dict_free(&options);
    if (rc < 0) return fail(ff::errorString(rc));
    headerWritten = true;
    return true;
}

bool Mp4AudioWriter::Impl::writeHeld(int64_t duration) {
    ff::Packet packet = ff::makePacket();
    if (!packet || av_new_packet(packet.get(), int(held.size())) < 0) return fail(QStringLiteral("out of memory"));
    std::copy(held.begin(), held.end(), packet->data);
    // The muxer's time base may differ from the track's time scale.
    const AVRational track{1, stream->codecpar->sample_rate};
    packet->pts = packet->dts = av_rescale_q(mediaTime - editStart, track, stream->time_base);
    packet->duration = av_rescale_q(duration, track, stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream->index;
    mediaTime += heldDuration;
    haveHeld = false;
    int rc = av_write_frame(format.get(), packet.get());
    if (rc < 0) return fail(ff::errorString(rc));
    return true;
}

bool Mp4AudioWriter::writeSample(const uint8_t* data, size_t size, int64_t duration, bool sync) {
    (void)sync; // every AAC frame is a sync sample
    if (d->closed || !data || size == 0 || size > (1u << 20)) return d->fail(QStringLiteral("bad sample"));
    if (!d->writeHeader()) return false;
    if (d->haveHeld && !d->writeHeld(d->heldDuration)) return false;
    d->held.assign(data, data + size);
    d->heldDuration = duration > 0 ? duration : int64_t(d->sampleDuration);
    d->haveHeld = true;
    return true;
}

bool Mp4AudioWriter::close() {
    if (d->closed) return d->error.isEmpty();
    d->closed = true;
    bool ok = d->writeHeader();
    if (ok && d->haveHeld) {
        int64_t duration = d->heldDuration;
        if (d->editDuration > 0) // trim the padding of the last frame
            duration = std::clamp<int64_t>(d->editStart + d->editDuration - d->mediaTime, 1, d->heldDuration);
        ok = d->writeHeld(duration);
    }
    if (ok) {
        int rc = av_write_trailer(d->format.get());
        if (rc < 0) ok = d->fail(ff::errorString(rc));
    }
    int rc = avio_closep(&d->format->pb);
    if (rc < 0 && ok) ok = d->fail(ff::errorString(rc));
    return ok;
}

const QString& Mp4AudioWriter::lastError() const { return d->error; }

} // namespace quorvel
