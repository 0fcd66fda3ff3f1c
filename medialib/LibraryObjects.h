// Owners of the media libraries' objects. Each frees its object through the
// run-time tables with the library's own free function, so no path that
// leaves a scope early can leak a context, a frame or a packet. Freeing an
// empty owner does nothing. Library objects must be released while the
// libraries are still bound.
#pragma once

#include <memory>

#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/SwResampleHlpr.h"
#include "medialib/SwScaleHlpr.h"

namespace MediaObjects {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { AVC.avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { AVU.av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { AVC.av_packet_free(&p); }
};
struct BitstreamFilterFree {
  void operator()(AVBSFContext* b) const { AVC.av_bsf_free(&b); }
};
// An input opened by avformat_open_input.
struct InputClose {
  void operator()(AVFormatContext* c) const { AVF.avformat_close_input(&c); }
};
// An output context: closes its file when it has one, then frees it.
struct OutputFree {
  void operator()(AVFormatContext* c) const {
    if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) AVF.avio_closep(&c->pb);
    AVF.avformat_free_context(c);
  }
};
struct ResamplerFree {
  void operator()(SwrContext* s) const { SWR.swr_free(&s); }
};
struct ScalerFree {
  void operator()(SwsContext* s) const { SWS.sws_freeContext(s); }
};
struct FifoFree {
  void operator()(AVFifo* f) const { AVU.av_fifo_freep2(&f); }
};
struct AudioFifoFree {
  void operator()(AVAudioFifo* f) const { AVU.av_audio_fifo_free(f); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using BitstreamFilterPtr = std::unique_ptr<AVBSFContext, BitstreamFilterFree>;
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFree>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFree>;
using FifoPtr = std::unique_ptr<AVFifo, FifoFree>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFree>;

// A dictionary; the library frees and replaces it in place, so it is held by
// value and handed out by address.
class Dictionary {
 public:
  Dictionary() = default;
  ~Dictionary() { AVU.av_dict_free(&Entries); }
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;

  AVDictionary** Address() { return &Entries; }
  AVDictionary* Get() const { return Entries; }

 private:
  AVDictionary* Entries = nullptr;
};

}  // namespace MediaObjects

namespace MediaObjects {

// A pool lets go of its memory once the last of its buffers comes back, so
// buffers still held elsewhere (by an encoder) stay valid.
struct BufferPoolFree {
  void operator()(AVBufferPool* p) const { AVU.av_buffer_pool_uninit(&p); }
};
using BufferPoolPtr = std::unique_ptr<AVBufferPool, BufferPoolFree>;

// Memory from av_malloc: texts the library hands out, work buffers.
struct MemoryFree {
  void operator()(void* p) const { AVU.av_free(p); }
};
template <typename T>
using MemoryPtr = std::unique_ptr<T, MemoryFree>;

// A text field that a library struct leaves to its user to free (an
// encoder's stats_in): frees what the field holds and gives it `text`.
inline void ReplaceUserText(char*& field, MemoryPtr<char> text = nullptr) {
  AVU.av_freep(&field);
  field = text.release();
}

// A channel layout; a custom one holds library memory. Held by value and
// handed out by address, like Dictionary.
class ChannelLayout {
 public:
  ChannelLayout() = default;
  ~ChannelLayout() { AVU.av_channel_layout_uninit(&Layout); }
  ChannelLayout(const ChannelLayout&) = delete;
  ChannelLayout& operator=(const ChannelLayout&) = delete;

  AVChannelLayout* Address() { return &Layout; }
  const AVChannelLayout* Get() const { return &Layout; }
  int Channels() const { return Layout.nb_channels; }
  void Clear() { AVU.av_channel_layout_uninit(&Layout); }
  // Frees what this one holds and takes over other's layout; other is left empty.
  void TakeOver(ChannelLayout& other) {
    Clear();
    Layout = other.Layout;
    other.Layout = {};
  }

 private:
  AVChannelLayout Layout = {};
};

// Gives a layout field of a library struct (a codec context's ch_layout) the
// default layout of `channels`, freeing what it held.
inline void SetDefaultLayout(AVChannelLayout& field, int channels) {
  AVU.av_channel_layout_uninit(&field);
  AVU.av_channel_layout_default(&field, channels);
}

// A subtitle that avcodec_decode_subtitle2 fills; freed only once the
// decoder has said that it gave one (Got), as the library asks.
struct DecodedSubtitle {
  DecodedSubtitle() = default;
  ~DecodedSubtitle() {
    if (Got) AVC.avsubtitle_free(&Subtitle);
  }
  DecodedSubtitle(const DecodedSubtitle&) = delete;
  DecodedSubtitle& operator=(const DecodedSubtitle&) = delete;

  AVSubtitle Subtitle = {};
  bool Got = false;
};

// A format context that was allocated, not opened: an option context, or an
// input before avformat_open_input takes it over.
struct FormatContextFree {
  void operator()(AVFormatContext* c) const { AVF.avformat_free_context(c); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextFree>;

// Closes an output's file ahead of its owner, where the status matters (the
// last buffered bytes are written here); the library's status.
inline int CloseOutputFile(AVFormatContext* output) {
  return output->pb ? AVF.avio_closep(&output->pb) : 0;
}

}  // namespace MediaObjects
