#pragma once
// Move-only owners for FFmpeg objects. Every FFmpeg object the program makes
// is held by one of these, so no path can leak or double-free it.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}
#include <QString>
#include <functional>
#include <memory>

namespace quorvel::ff {

struct InputFormatDeleter {
    // Closes the input, and the reader of a followed file (openFollowingInput).
    void operator()(AVFormatContext* c) const;
};
struct OutputFormatDeleter {
    // Closes the file if the muxer opened one, then frees the context.
    void operator()(AVFormatContext* c) const;
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

using InputFormat = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormat = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;
using Resampler = std::unique_ptr<SwrContext, SwrDeleter>;
using AudioFifo = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

// An owned channel layout (custom layouts carry an allocated channel map).
class ChannelLayout {
public:
    ChannelLayout() = default;
    ~ChannelLayout() { av_channel_layout_uninit(&layout_); }
    ChannelLayout(const ChannelLayout&) = delete;
    ChannelLayout& operator=(const ChannelLayout&) = delete;
    // Copies `other`; returns a negative AVERROR when that fails.
    int assign(const AVChannelLayout& other) {
        av_channel_layout_uninit(&layout_);
        return av_channel_layout_copy(&layout_, &other);
    }
    // The default layout for `channels` channels.
    void setDefault(int channels) {
        av_channel_layout_uninit(&layout_);
        av_channel_layout_default(&layout_, channels);
    }
    const AVChannelLayout* get() const { return &layout_; }
    // Some FFmpeg calls take the layout through a non-const pointer without changing it.
    AVChannelLayout* get() { return &layout_; }
    int channels() const { return layout_.nb_channels; }

private:
    AVChannelLayout layout_{};
};

inline Frame makeFrame() { return Frame(av_frame_alloc()); }
inline Packet makePacket() { return Packet(av_packet_alloc()); }

// FFmpeg's text for an error code.
QString errorString(int averror);

// Keeps FFmpeg's log to errors (once per process); openInput() calls it.
void quietLogging();

// Opens a local file for demuxing and reads its stream information: the one
// way in for every file from outside the program. Only the file protocol is
// allowed, so no input can make a demuxer reach the network, and only audio
// and media demuxers are tried, so no playlist or concatenation list can make
// one open the other local files it names.
// Returns nullptr and sets *error (an AVERROR) on failure.
InputFormat openInput(const QString& path, int* error = nullptr);

// openInput() for a file that may still be written (see GrowingFile): while
// its writer goes on, a read at the end of what is written waits for more
// instead of ending, until the writer says the file is whole (the end) or
// failed (an input/output error), or `stop` returns true (AVERROR_EXIT). A
// file nobody marks as growing opens as openInput() opens it.
InputFormat openFollowingInput(const QString& path, std::function<bool()> stop, int* error = nullptr);

// Index of the best audio stream, or a negative AVERROR.
int bestAudioStream(AVFormatContext* format);

// A decoder opened for the given stream, or nullptr.
CodecContext openDecoder(AVStream* stream, int* error = nullptr);

} // namespace quorvel::ff
