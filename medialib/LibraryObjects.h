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

// A format context that was allocated, not opened: an option context, or an
// input before avformat_open_input takes it over.
struct FormatContextFree {
  void operator()(AVFormatContext* c) const { AVF.avformat_free_context(c); }
};
// A buffer from av_malloc or av_strdup.
struct BufferFree {
  void operator()(void* p) const { AVU.av_free(p); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextFree>;
template <typename T>
using BufferPtr = std::unique_ptr<T, BufferFree>;

// Closes an output's file ahead of its owner, where the status matters (the
// last buffered bytes are written here); the library's status.
inline int CloseOutputFile(AVFormatContext* output) {
  return output->pb ? AVF.avio_closep(&output->pb) : 0;
}

}  // namespace MediaObjects
