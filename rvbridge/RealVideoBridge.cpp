#include "rvbridge/RealVideoBridge.h"

#include <cstring>
#include <exception>
#include <vector>

#include "medialib/AVUtilHlpr.h"
#include "rvbridge/ScaleYUV420Up.h"

namespace {

constexpr int SegmentEntrySize = 8;
// Newer library versions take the picture sizes of a RealVideo 3.0 stream.
constexpr uint32_t FirstVersionWithSizes = 0x20200002;
// Streams tagged up to "RV30", compared as the 32-bit number of the tag.
constexpr unsigned LastTagWithSizes = MKTAG('R', 'V', '3', '0');
// Past a picture's last byte for readers that fetch a little ahead.
constexpr int ReadPadding = 64;
// Keeps every size and offset of a picture within int; far above any
// RealVideo picture.
constexpr int64_t MaxPictureArea = int64_t(1) << 28;

uint32_t ReadBigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PaintBlack(uint8_t* buffer, int width, int height) {
  const size_t luma = size_t(width) * height;
  std::memset(buffer, 0, luma);
  std::memset(buffer + luma, 128, size_t(RVPictureBufferSize(width, height)) - luma);
}

// Sends the picture sizes the stream may switch to: the stream's own, then
// n - 1 more from the extra data in units of 4 pixels.
int SendPictureSizes(RVBridgeContext& context, const AVCodecContext& codec, uint32_t count) {
  std::vector<int32_t> values(2 * count);
  values[0] = codec.width;
  values[1] = codec.height;
  for (uint32_t i = 0; i + 2 < 2 * count; ++i) values[2 + i] = codec.extradata[8 + i] * 4;
  RVCustomMessage message{RVCustomMessageSizes, count, values.data()};
  return context.Library.CustomMessage(&message, context.Handle);
}

// The packet's presentation time in milliseconds, when its time base is known.
uint32_t TimestampMs(const AVCodecContext& codec, const AVPacket& packet) {
  const int64_t time = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  AVRational base = packet.time_base;
  if (base.num <= 0 || base.den <= 0) base = codec.pkt_timebase;
  if (time == AV_NOPTS_VALUE || base.num <= 0 || base.den <= 0) return 0;
  return uint32_t(AVU.av_rescale_q(time, base, AVRational{1, 1000}));
}

// The enlarger only grows a picture, never to a size it cannot reach, and the
// buffers hold the stream's picture and nothing larger.
bool DeliveredSizeUsable(int width, int height, const RVBridgeContext& context) {
  if (width == context.Width && height == context.Height) return true;
  const bool widthOk = width == context.Width || (width >= 2 && width < context.Width);
  const bool heightOk = height == context.Height || (height >= 2 && height < context.Height);
  return widthOk && heightOk;
}

// Copies the finished picture into a pool buffer and points the frame's
// planes into it; false without memory.
bool HandOut(RVBridgeContext& context, const uint8_t* source, AVFrame& picture) {
  const int width = context.Width;
  const int height = context.Height;
  const int bytes = RVPictureBufferSize(width, height);
  AVBufferRef* buffer = AVU.av_buffer_pool_get(context.Pictures.get());
  if (!buffer) return false;
  std::memcpy(buffer->data, source, bytes);
  context.Source = source;
  picture.buf[0] = buffer;
  const int luma = width * height;
  uint8_t* planes = buffer->data;
  picture.format = AV_PIX_FMT_YUV420P;
  picture.width = width;
  picture.height = height;
  picture.data[0] = planes;
  picture.data[1] = planes + luma;
  picture.data[2] = planes + luma + luma / 4;
  picture.linesize[0] = width;
  picture.linesize[1] = width / 2;
  picture.linesize[2] = width / 2;
  return true;
}

}  // namespace

bool ParseRVPacket(const uint8_t* packet, int size, RVPacketLayout& layout) {
  if (!packet || size < 1) return false;
  const uint32_t c = packet[0];
  const int header = 1 + SegmentEntrySize * int(c + 1);
  if (size < header) return false;
  layout.SegmentCountMinusOne = c;
  layout.Segments = packet + 1;
  layout.Data = packet + header;
  layout.DataLength = size - header;
  return true;
}

int RVPictureBufferSize(int width, int height) {
  const int luma = width * height;
  // Where a reader that rounds the chroma size up ends in the V plane.
  const int chromaEnd = luma + luma / 4 + ((height + 1) / 2 - 1) * (width / 2) + (width + 1) / 2;
  const int planes = luma * 3 / 2;
  return (chromaEnd > planes ? chromaEnd : planes) + ReadPadding;
}

RVBridgeContext::~RVBridgeContext() { rv_bridge_close(*this); }

int rv_bridge_init(RVBridgeContext& context, AVCodecContext& codec) {
  rv_bridge_close(context);
  if (codec.codec_id != AV_CODEC_ID_RV30 && codec.codec_id != AV_CODEC_ID_RV40) return -1;
  if (!RealVideoHlpr::Library().IsBound()) return -1;
  context.Library = DRVC;
  if (codec.width < 1 || codec.height < 1 || codec.width > 0xFFFF || codec.height > 0xFFFF ||
      int64_t(codec.width) * codec.height > MaxPictureArea)
    return -1;

  // The library reads the extra data only through what we hand it: check the
  // length before anything is read.
  if (!codec.extradata || codec.extradata_size < 8) return -1;
  const uint32_t subFormat = ReadBigEndian32(codec.extradata);
  const uint32_t version = ReadBigEndian32(codec.extradata + 4);
  const uint32_t sizeCount = ((subFormat >> 16) & 7) + 1;
  const bool sendSizes = codec.codec_tag <= LastTagWithSizes && version >= FirstVersionWithSizes;
  if (sendSizes && codec.extradata_size < int(8 + 2 * sizeCount - 2)) return -1;

  RVInitParams params{RVInitKind, uint16_t(codec.width), uint16_t(codec.height), 0, 0, subFormat, 1,
                      version};
  int status = context.Library.Init(&params, &context.Handle);
  if (status < 0) {
    // A refused Init hands out no decoder to free.
    context.Handle = nullptr;
    return -1;
  }
  if (sendSizes) status = SendPictureSizes(context, codec, sizeCount);

  context.Width = codec.width;
  context.Height = codec.height;
  const int bufferSize = RVPictureBufferSize(context.Width, context.Height);
  context.Buffer1.reset(static_cast<uint8_t*>(AVU.av_malloc(bufferSize)));
  context.Buffer2.reset(static_cast<uint8_t*>(AVU.av_malloc(bufferSize)));
  context.Pictures.reset(AVU.av_buffer_pool_init(bufferSize, nullptr));
  if (status < 0 || !context.Buffer1 || !context.Buffer2 || !context.Pictures) {
    rv_bridge_close(context);
    return -1;
  }
  PaintBlack(context.Buffer1.get(), context.Width, context.Height);
  PaintBlack(context.Buffer2.get(), context.Width, context.Height);

  codec.pix_fmt = AV_PIX_FMT_YUV420P;
  codec.has_b_frames = 1;
  return status;
}

int rv_bridge_decode(RVBridgeContext& context, AVCodecContext& codec, AVFrame& picture,
                     int& gotPicture, const AVPacket& packet) {
  gotPicture = 0;
  if (packet.size == 0) return 0;
  if (!context.Buffer1) return -1;
  RVPacketLayout layout;
  if (!ParseRVPacket(packet.data, packet.size, layout)) return -1;

  RVTransformIn in{uint32_t(layout.DataLength), 0, layout.SegmentCountMinusOne, layout.Segments, 0,
                   TimestampMs(codec, packet)};
  RVTransformOut out{};
  int status;
  try {
    status =
        context.Library.Transform(layout.Data, context.Buffer1.get(), &in, &out, context.Handle);
  } catch (const std::exception& fault) {
    AVU.av_log(&codec, AV_LOG_ERROR, "RVTransform() Exception%s\n", fault.what());
    return -1;
  } catch (...) {
    AVU.av_log(&codec, AV_LOG_ERROR, "RVTransform() Exception\n");
    return -1;
  }
  if (status < 0) return -1;

  const int width = int(out.Width);
  const int height = int(out.Height);
  if (out.Width > 0xFFFF || out.Height > 0xFFFF || !DeliveredSizeUsable(width, height, context)) {
    AVU.av_log(&codec, AV_LOG_ERROR, "RVTransform() delivered %ux%u for a %dx%d stream\n",
               out.Width, out.Height, context.Width, context.Height);
    return -1;
  }
  uint8_t* source = context.Buffer1.get();
  if (width != context.Width || height != context.Height) {
    ScaleYUV420Up(context.Buffer1.get(), width, height, context.Buffer2.get(), context.Width,
                  context.Height);
    if (width == context.Width || height == context.Height) source = context.Buffer2.get();
  }

  AVU.av_frame_unref(&picture);
  if (!HandOut(context, source, picture)) return -1;
  picture.pts = packet.pts;
  picture.pkt_dts = packet.dts;
  picture.best_effort_timestamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  gotPicture = 1;
  return packet.size;
}

int rv_bridge_close(RVBridgeContext& context) {
  if (context.Handle) {
    context.Library.Free(context.Handle);
    context.Handle = nullptr;
  }
  context.Buffer1.reset();
  context.Buffer2.reset();
  context.Source = nullptr;
  context.Pictures.reset();
  return 0;
}
