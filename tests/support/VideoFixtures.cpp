#include "tests/support/VideoFixtures.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "tests/support/FixtureSupport.h"
#include "tests/support/MediaFixtures.h"

namespace VideoFixtures {
namespace {

using namespace FixtureSupport;

// An opened encoder and its stream in `output`.
AVStream* AddStream(Output& output, AVCodecContext* context, const AVCodec* codec) {
  context->flags |= AV_CODEC_FLAG_BITEXACT;
  if (output.Context->oformat->flags & AVFMT_GLOBALHEADER)
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(AVC.avcodec_open2(context, codec, nullptr), std::string("cannot open ") + codec->name,
        output.Path);
  AVStream* stream = AVF.avformat_new_stream(output.Context.get(), nullptr);
  if (!stream) Fail("cannot add a stream", output.Path);
  Check(AVC.avcodec_parameters_from_context(stream->codecpar, context),
        "cannot copy stream parameters", output.Path);
  stream->time_base = context->time_base;
  return stream;
}

const AVCodec* Encoder(const char* name, const std::string& path) {
  const AVCodec* codec = AVC.avcodec_find_encoder_by_name(name);
  if (!codec) Fail(std::string("no encoder ") + name, path);
  return codec;
}

}  // namespace

void MakeRawVideo(const std::string& path, int width, int height, AVRational frameRate,
                  double seconds) {
  MediaFixtures::EnsureLibraries();
  QuietLibraries quiet;
  Output output(path, "nut");
  const AVCodec* codec = Encoder("rawvideo", path);
  CodecContextPtr context(AVC.avcodec_alloc_context3(codec));
  if (!context) Fail("cannot allocate an encoder", path);
  context->width = width;
  context->height = height;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->framerate = frameRate;
  context->time_base = av_inv_q(frameRate);
  AVStream* stream = AddStream(output, context.get(), codec);
  stream->avg_frame_rate = frameRate;
  output.Open();

  FramePtr frame(AVU.av_frame_alloc());
  PacketPtr packet(AVC.av_packet_alloc());
  if (!frame || !packet) Fail("cannot allocate", path);
  const int64_t total = std::llround(seconds * av_q2d(frameRate));
  auto write = [&](AVFrame* picture) {
    Check(AVC.avcodec_send_frame(context.get(), picture), "cannot encode", path);
    while (AVC.avcodec_receive_packet(context.get(), packet.get()) >= 0) {
      AVC.av_packet_rescale_ts(packet.get(), context->time_base, stream->time_base);
      packet->stream_index = stream->index;
      Check(AVF.av_interleaved_write_frame(output.Context.get(), packet.get()), "cannot write",
            path);
    }
  };
  for (int64_t n = 0; n < total; ++n) {
    AVU.av_frame_unref(frame.get());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    Check(AVU.av_frame_get_buffer(frame.get(), 0), "cannot allocate a picture", path);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        frame->data[0][y * frame->linesize[0] + x] = PatternLuma(x, y, static_cast<int>(n));
    for (int plane = 1; plane <= 2; ++plane)
      for (int y = 0; y < (height + 1) / 2; ++y)
        std::fill_n(frame->data[plane] + y * frame->linesize[plane], (width + 1) / 2,
                    static_cast<uint8_t>(plane == 1 ? 128 + n % 32 : 128));
    frame->pts = n;
    write(frame.get());
  }
  write(nullptr);
  Check(AVF.av_write_trailer(output.Context.get()), "cannot write the trailer", path);
}

void MakeBitmapSubtitles(const std::string& path, const std::vector<SubtitleCue>& cues) {
  MediaFixtures::EnsureLibraries();
  QuietLibraries quiet;
  Output output(path, "matroska");
  const AVCodec* codec = Encoder("dvdsub", path);
  CodecContextPtr context(AVC.avcodec_alloc_context3(codec));
  if (!context) Fail("cannot allocate an encoder", path);
  context->width = 720;
  context->height = 576;
  context->time_base = {1, 1000};
  AVStream* stream = AddStream(output, context.get(), codec);
  output.Open();

  constexpr int Width = 64, Height = 16;
  std::vector<uint8_t> bitmap(Width * Height);
  for (int i = 0; i < Width * Height; ++i) bitmap[i] = ((i % Width) / 8 + (i / Width) / 4) % 2;
  uint32_t palette[4] = {0x00000000, 0xFFFFFFFF, 0xFF000000, 0xFF808080};
  AVSubtitleRect rect = {};
  rect.x = 100;
  rect.y = 500;
  rect.w = Width;
  rect.h = Height;
  rect.nb_colors = 4;
  rect.type = SUBTITLE_BITMAP;
  rect.data[0] = bitmap.data();
  rect.linesize[0] = Width;
  rect.data[1] = reinterpret_cast<uint8_t*>(palette);
  rect.linesize[1] = sizeof palette;
  AVSubtitleRect* rects[1] = {&rect};

  std::vector<uint8_t> buffer(65536);
  PacketPtr packet(AVC.av_packet_alloc());
  if (!packet) Fail("cannot allocate", path);
  for (const SubtitleCue& cue : cues) {
    AVSubtitle subtitle = {};
    subtitle.format = 0;
    subtitle.start_display_time = 0;
    subtitle.end_display_time = static_cast<uint32_t>(cue.endMs - cue.startMs);
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    subtitle.pts = int64_t(cue.startMs) * 1000;
    const int size = AVC.avcodec_encode_subtitle(context.get(), buffer.data(),
                                                 static_cast<int>(buffer.size()), &subtitle);
    Check(size, "cannot encode a subtitle", path);
    Check(AVC.av_new_packet(packet.get(), size), "cannot allocate", path);
    std::copy_n(buffer.data(), size, packet->data);
    packet->pts = packet->dts = AVU.av_rescale_q(cue.startMs, {1, 1000}, stream->time_base);
    packet->duration = AVU.av_rescale_q(cue.endMs - cue.startMs, {1, 1000}, stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream->index;
    Check(AVF.av_interleaved_write_frame(output.Context.get(), packet.get()), "cannot write", path);
  }
  Check(AVF.av_write_trailer(output.Context.get()), "cannot write the trailer", path);
}

std::vector<PacketInfo> ReadPackets(const std::string& path) {
  MediaFixtures::EnsureLibraries();
  QuietLibraries quiet;
  InputPtr input = OpenInput(path);
  PacketPtr packet(AVC.av_packet_alloc());
  std::vector<PacketInfo> packets;
  while (AVF.av_read_frame(input.get(), packet.get()) >= 0) {
    const AVStream* stream = input->streams[packet->stream_index];
    PacketInfo info;
    info.streamIndex = packet->stream_index;
    info.type = stream->codecpar->codec_type;
    info.pts = packet->pts;
    info.dts = packet->dts;
    info.duration = packet->duration;
    info.size = packet->size;
    info.key = packet->flags & AV_PKT_FLAG_KEY;
    info.timeBase = stream->time_base;
    packets.push_back(info);
    AVC.av_packet_unref(packet.get());
  }
  return packets;
}

std::vector<DecodedPicture> DecodePictures(const std::string& path, int maxPictures) {
  MediaFixtures::EnsureLibraries();
  QuietLibraries quiet;
  InputPtr input = OpenInput(path);
  FirstStreamDecoder first = OpenFirstDecoder(input.get(), AVMEDIA_TYPE_VIDEO, path);
  const int index = first.index;
  CodecContextPtr decoder = std::move(first.decoder);

  std::vector<DecodedPicture> pictures;
  PacketPtr packet(AVC.av_packet_alloc());
  FramePtr frame(AVU.av_frame_alloc());
  const auto drain = [&] {
    while (static_cast<int>(pictures.size()) < maxPictures) {
      const int result = AVC.avcodec_receive_frame(decoder.get(), frame.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
      Check(result, "cannot decode", path);
      const AVPixFmtDescriptor* desc =
          AVU.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
      if (!desc || !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) || desc->nb_components < 3)
        Fail("not a planar YUV picture", path);
      DecodedPicture picture;
      picture.width = frame->width;
      picture.height = frame->height;
      picture.pixelFormat = desc->name;
      picture.chromaWidth = -((-frame->width) >> desc->log2_chroma_w);
      picture.chromaHeight = -((-frame->height) >> desc->log2_chroma_h);
      for (int p = 0; p < 3; ++p) {
        const int w = p ? picture.chromaWidth : picture.width;
        const int h = p ? picture.chromaHeight : picture.height;
        picture.planes[p].resize(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
          std::copy_n(frame->data[p] + static_cast<ptrdiff_t>(y) * frame->linesize[p], w,
                      picture.planes[p].begin() + static_cast<ptrdiff_t>(y) * w);
      }
      pictures.push_back(std::move(picture));
      AVU.av_frame_unref(frame.get());
    }
  };
  while (static_cast<int>(pictures.size()) < maxPictures &&
         AVF.av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && AVC.avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      drain();
    AVC.av_packet_unref(packet.get());
  }
  AVC.avcodec_send_packet(decoder.get(), nullptr);
  drain();
  return pictures;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long value = 0;
      status >> value;
      return value;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

}  // namespace VideoFixtures
