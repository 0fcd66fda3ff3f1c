#include "medialib/VersionedCalls.h"

#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"

// Frame flags replaced the interlacing fields in libavutil 58.7.
#define MELVARO_HAS_FRAME_FLAGS (LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 7, 100))

namespace {

#if MELVARO_HAS_CODEC_SUPPORTED_CONFIG
template <typename Value>
const Value* SupportedConfig(const AVCodec* codec, AVCodecConfig config) {
  const void* list = nullptr;
  if (!codec || AVC.avcodec_get_supported_config(nullptr, codec, config, 0, &list, nullptr) < 0)
    return nullptr;
  return static_cast<const Value*>(list);
}
#endif

#if MELVARO_HAS_FRAME_FLAGS
void SetFrameFlag(AVFrame* frame, int flag, bool on) {
  if (on)
    frame->flags |= flag;
  else
    frame->flags &= ~flag;
}
#endif

}  // namespace

namespace VersionedCalls {

#if MELVARO_HAS_CODEC_SUPPORTED_CONFIG
const AVPixelFormat* SupportedPixelFormats(const AVCodec* codec) {
  return SupportedConfig<AVPixelFormat>(codec, AV_CODEC_CONFIG_PIX_FORMAT);
}
const AVSampleFormat* SupportedSampleFormats(const AVCodec* codec) {
  return SupportedConfig<AVSampleFormat>(codec, AV_CODEC_CONFIG_SAMPLE_FORMAT);
}
const AVRational* SupportedFrameRates(const AVCodec* codec) {
  return SupportedConfig<AVRational>(codec, AV_CODEC_CONFIG_FRAME_RATE);
}
const int* SupportedSampleRates(const AVCodec* codec) {
  return SupportedConfig<int>(codec, AV_CODEC_CONFIG_SAMPLE_RATE);
}
const AVChannelLayout* SupportedChannelLayouts(const AVCodec* codec) {
  return SupportedConfig<AVChannelLayout>(codec, AV_CODEC_CONFIG_CHANNEL_LAYOUT);
}
#else
const AVPixelFormat* SupportedPixelFormats(const AVCodec* codec) {
  return codec ? codec->pix_fmts : nullptr;
}
const AVSampleFormat* SupportedSampleFormats(const AVCodec* codec) {
  return codec ? codec->sample_fmts : nullptr;
}
const AVRational* SupportedFrameRates(const AVCodec* codec) {
  return codec ? codec->supported_framerates : nullptr;
}
const int* SupportedSampleRates(const AVCodec* codec) {
  return codec ? codec->supported_samplerates : nullptr;
}
const AVChannelLayout* SupportedChannelLayouts(const AVCodec* codec) {
  return codec ? codec->ch_layouts : nullptr;
}
#endif

uint8_t* NewStreamSideData(AVStream* stream, AVPacketSideDataType type, size_t size) {
#if MELVARO_HAS_CODECPAR_SIDE_DATA
  AVCodecParameters* parameters = stream->codecpar;
  const AVPacketSideData* side = AVC.av_packet_side_data_new(
      &parameters->coded_side_data, &parameters->nb_coded_side_data, type, size, 0);
  return side ? side->data : nullptr;
#else
  return AVF.av_stream_new_side_data(stream, type, size);
#endif
}

#if MELVARO_HAS_FRAME_FLAGS
bool IsInterlaced(const AVFrame* frame) { return frame->flags & AV_FRAME_FLAG_INTERLACED; }
bool IsTopFieldFirst(const AVFrame* frame) { return frame->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST; }
void SetInterlaced(AVFrame* frame, bool interlaced) {
  SetFrameFlag(frame, AV_FRAME_FLAG_INTERLACED, interlaced);
}
void SetTopFieldFirst(AVFrame* frame, bool topFieldFirst) {
  SetFrameFlag(frame, AV_FRAME_FLAG_TOP_FIELD_FIRST, topFieldFirst);
}
#else
bool IsInterlaced(const AVFrame* frame) { return frame->interlaced_frame; }
bool IsTopFieldFirst(const AVFrame* frame) { return frame->top_field_first; }
void SetInterlaced(AVFrame* frame, bool interlaced) { frame->interlaced_frame = interlaced; }
void SetTopFieldFirst(AVFrame* frame, bool topFieldFirst) {
  frame->top_field_first = topFieldFirst;
}
#endif

}  // namespace VersionedCalls
