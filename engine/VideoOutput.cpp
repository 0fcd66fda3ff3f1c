// Video output path: each decoded picture becomes 0, 1 or more output frames
// (frame-rate conversion by dropping and repeating), is cropped (a view into
// the decoded picture), scaled and padded (into PictTmp), and encoded; every
// packet the encoder returns is written.
//
// Pictures reach the encoder as references, never as copies: the decoded
// picture itself, or PictTmp. An encoder may keep a reference to a picture
// it has not finished with; PictTmp then moves on to another buffer of its
// pool, and the held one returns to the pool when the encoder lets go, so
// the path allocates no picture buffer once the encoder's queue is full.
//
// Muxers that took raw pictures without an encoder (output format flag 0x20)
// no longer exist in the library: every picture is encoded, and every video
// encoder is drained at the end of its input.
#include <cmath>
#include <cstdio>

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/PictureView.h"
#include "engine/StreamNames.h"
#include "engine/TranscodeTables.h"
#include "engine/VideoFrameCount.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/SwScaleHlpr.h"
#include "medialib/VersionedCalls.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace {

// Line sizes and rows of PictTmp's buffers are rounded up so that encoders
// may read whole blocks past the picture's edge.
constexpr int PictureAlign = 64;
constexpr int PictureRowAlign = 32;

// The video path's failures keep the sentence they always had, followed by
// the call, the stream and the library's words.
[[noreturn]] void RaiseVideoError(const char* call, int code, const OutputStream& ost,
                                  const AVFormatContext* os) {
  throw FFMpegException("Video encoding failed: " +
                        LibraryCallError(call, code, StreamName(os, ost)));
}

// Gives PictTmp a buffer of its own from the pool; a negative library status
// on failure, with `call` naming the call that failed.
int TakePictureBuffer(OutputStream& ost, const char*& call) {
  AVFrame* picture = ost.PictTmp.get();
  call = "av_buffer_pool_get";
  AVBufferRef* buffer = AVU.av_buffer_pool_get(ost.PictPool.get());
  if (!buffer) return AVERROR(ENOMEM);
  AVU.av_buffer_unref(&picture->buf[0]);
  picture->buf[0] = buffer;
  const int rows = (picture->height + PictureRowAlign - 1) / PictureRowAlign * PictureRowAlign;
  call = "av_image_fill_arrays";
  return AVU.av_image_fill_arrays(picture->data, picture->linesize, buffer->data,
                                  static_cast<AVPixelFormat>(picture->format), picture->width, rows,
                                  PictureAlign);
}

// PictTmp at the encoder's size and pixel format, with its buffer pool.
bool AllocatePictTmp(OutputStream& ost) {
  if (ost.PictTmp) return true;
  const AVCodecContext* enc = ost.Encoder;
  const int rows = (enc->height + PictureRowAlign - 1) / PictureRowAlign * PictureRowAlign;
  const int size = AVU.av_image_get_buffer_size(enc->pix_fmt, enc->width, rows, PictureAlign);
  if (size <= 0) return false;
  ost.PictPool.reset(AVU.av_buffer_pool_init(size + AV_INPUT_BUFFER_PADDING_SIZE, nullptr));
  ost.PictTmp.reset(AVU.av_frame_alloc());
  if (!ost.PictPool || !ost.PictTmp) return false;
  ost.PictTmp->format = enc->pix_fmt;
  ost.PictTmp->width = enc->width;
  ost.PictTmp->height = enc->height;
  const char* call = nullptr;
  return TakePictureBuffer(ost, call) >= 0;
}

}  // namespace

void TCustomFFmpegHlpr::SetUpVideoOutput(OutputStream& ost, InputStream& ist) {
  AVCodecContext* dec = ist.Decoder;
  if (!dec)
    RaiseFFMpeg("Unsupported codec (id=%d) for input stream #%d.%d",
                static_cast<int>(ist.Stream->codecpar->codec_id), ist.FileIndex, ist.Index);
  ost.VideoCrop = FrameLeftBand + FrameRightBand + FrameTopBand + FrameBottomBand != 0;
  ost.VideoPad = FramePadLeft + FramePadRight + FramePadTop + FramePadBottom != 0;
  if (ost.VideoCrop) {
    ost.TopBand = FrameTopBand;
    ost.LeftBand = FrameLeftBand;
  }
  if (ost.VideoPad) {
    ost.PadTop = FramePadTop;
    ost.PadBottom = FramePadBottom;
    ost.PadLeft = FramePadLeft;
    ost.PadRight = FramePadRight;
  }
  SetUpPicturePath(ost, dec->width, dec->height, dec->pix_fmt);
  if (!ost.EncodeFrame) ost.EncodeFrame.reset(AVU.av_frame_alloc());
  if (!ost.EncodedPacket) ost.EncodedPacket.reset(AVC.av_packet_alloc());
  if (!ost.EncodeFrame || !ost.EncodedPacket) throw FFMpegException("av_mallocz fail");
  ost.EncodingNeeded = 1;
  ist.DecodingNeeded = 1;
}

void TCustomFFmpegHlpr::SetUpPicturePath(OutputStream& ost, int width, int height, int format) {
  const AVCodecContext* enc = ost.Encoder;
  const int cropWidth = FrameLeftBand + FrameRightBand;
  const int cropHeight = FrameTopBand + FrameBottomBand;
  const int padWidth = FramePadLeft + FramePadRight;
  const int padHeight = FramePadTop + FramePadBottom;
  ost.VideoResample = enc->width != width - cropWidth + padWidth ||
                      enc->height != height - cropHeight + padHeight || enc->pix_fmt != format;
  ost.PictureWidth = width;
  ost.PictureHeight = height;
  ost.PictureFormat = format;

  ost.ImgResampleCtx.reset();
  if (ost.VideoPad && !ost.VideoResample && !AllocatePictTmp(ost))
    throw FFMpegException("avpicture_alloc fail");
  if (!ost.VideoResample) return;
  if (!AllocatePictTmp(ost)) throw FFMpegException("Cannot allocate temp picture, check pix fmt");
  int64_t flags = SwsFlags;
  if (ScalerOptions && AVU.av_opt_get_int(ScalerOptions.get(), "sws_flags", 0, &flags) >= 0)
    SwsFlags = static_cast<int>(flags);
  ost.ImgResampleCtx.reset(SWS.sws_getContext(width - cropWidth, height - cropHeight,
                                              static_cast<AVPixelFormat>(format),
                                              enc->width - padWidth, enc->height - padHeight,
                                              enc->pix_fmt, SwsFlags, nullptr, nullptr, nullptr));
  if (!ost.ImgResampleCtx) throw FFMpegException("Cannot get resampling context");
  ost.ResampleHeight = height - cropHeight;
}

void TCustomFFmpegHlpr::OutputDecodedPicture(TranscodeTables& t, InputStream& ist, int istIndex,
                                             AVFrame* picture) {
  // The decoder's frame rate paces the input; the stream's own rates stand
  // in for a decoder that states none.
  AVRational rate = ist.Decoder->framerate;
  if (rate.num <= 0 || rate.den <= 0) rate = ist.Stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = ist.Stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) ist.NextPts += 1000000LL * rate.den / rate.num;

  for (const auto& ost : t.OutputStreams) {
    if (ost->SourceIndex != istIndex || !ost->EncodingNeeded) continue;
    if (ost->Encoder->codec_type != AVMEDIA_TYPE_VIDEO) throw FFMpegException("invalid codec_type");
    VideoBytes += EncodeVideo(OutputFiles[ost->FileIndex].get(), *ost, ist, picture);
  }
}

int TCustomFFmpegHlpr::EncodeVideo(AVFormatContext* os, OutputStream& ost, InputStream& ist,
                                   AVFrame* picture) {
  (void)ist;
  AVCodecContext* enc = ost.Encoder;
  if (ost.EncoderDrained) return 0;

  const double vdelta = SyncInputTime(ost) / av_q2d(enc->time_base) - ost.SyncOpts;
  const int count = OutputFrameCount(vdelta);
  if (count <= 0) {
    DropFrames += 1;
    if (Verbose > 2) Log(1, "*** drop!");
    return 0;
  }
  if (count > 1) {
    DupFrames += count - 1;
    if (Verbose > 2) LogF(1, "*** %d dup!", count - 1);
  }

  PictureView formatted;
  if (!FormatPicture(ost, picture, formatted)) return 0;
  return SendPicture(os, ost, picture, formatted, count);
}

bool TCustomFFmpegHlpr::FormatPicture(OutputStream& ost, AVFrame* picture, PictureView& formatted) {
  const AVCodecContext* enc = ost.Encoder;
  // A decoder may change the picture's shape mid-stream; the scaler follows.
  if (picture->width != ost.PictureWidth || picture->height != ost.PictureHeight ||
      picture->format != ost.PictureFormat)
    SetUpPicturePath(ost, picture->width, picture->height, picture->format);

  const PictureView decoded = ViewOf(picture);
  formatted = decoded;
  if (ost.VideoCrop) {
    const bool fits = FrameLeftBand + FrameRightBand < picture->width &&
                      FrameTopBand + FrameBottomBand < picture->height;
    if (!fits || !CropPictureView(formatted, decoded, static_cast<AVPixelFormat>(picture->format),
                                  ost.TopBand, ost.LeftBand)) {
      Log(0, "error cropping picture");
      return false;
    }
  }

  const bool intoTmp = ost.VideoPad || ost.VideoResample;
  if (intoTmp && !AVU.av_frame_is_writable(ost.PictTmp.get())) {
    const char* call = nullptr;
    const int taken = TakePictureBuffer(ost, call);
    if (taken < 0) RaiseVideoError(call, taken, ost, OutputFiles[ost.FileIndex].get());
  }
  const PictureView tmp = intoTmp ? ViewOf(ost.PictTmp.get()) : PictureView{};
  const PictureView* padSource = &formatted;
  PictureView scaleTarget = tmp;
  if (ost.VideoPad && ost.VideoResample &&
      !CropPictureView(scaleTarget, tmp, enc->pix_fmt, ost.PadTop, ost.PadLeft)) {
    Log(0, "error padding picture");
    return false;
  }
  if (ost.VideoResample) {
    padSource = nullptr;  // scaling has filled the inside; only the border is painted
    const int scaled = SWS.sws_scale(ost.ImgResampleCtx.get(), formatted.data, formatted.linesize,
                                     0, ost.ResampleHeight, scaleTarget.data, scaleTarget.linesize);
    if (scaled < 0) RaiseVideoError("sws_scale", scaled, ost, OutputFiles[ost.FileIndex].get());
  }
  if (ost.VideoPad)
    PadPicture(tmp, padSource, enc->height, enc->width, enc->pix_fmt, ost.PadTop, ost.PadBottom,
               ost.PadLeft, ost.PadRight, PadColor);
  return true;
}

int TCustomFFmpegHlpr::SendPicture(AVFormatContext* os, OutputStream& ost, AVFrame* picture,
                                   const PictureView& formatted, int count) {
  AVCodecContext* enc = ost.Encoder;
  const bool intoTmp = ost.VideoPad || ost.VideoResample;
  const AVCodecContext* options = CodecOptions[AVMEDIA_TYPE_VIDEO].get();
  const bool interlaced =
      options && (options->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME));
  const float quality = OutputCodecs[ost.FileIndex][ost.Index].Quality;
  int written = 0;
  for (int i = 0; i < count; ++i) {
    AVFrame* frame = ost.EncodeFrame.get();
    const int referenced = AVU.av_frame_ref(frame, intoTmp ? ost.PictTmp.get() : picture);
    if (referenced < 0) RaiseVideoError("av_frame_ref", referenced, ost, os);
    if (!intoTmp)
      for (int p = 0; p < 4; ++p) {
        frame->data[p] = formatted.data[p];
        frame->linesize[p] = formatted.linesize[p];
      }
    frame->width = enc->width;
    frame->height = enc->height;
    frame->format = enc->pix_fmt;
    VersionedCalls::SetInterlaced(frame, VersionedCalls::IsInterlaced(picture));
    if (interlaced)
      VersionedCalls::SetTopFieldFirst(frame, VersionedCalls::IsTopFieldFirst(picture));
    frame->quality = static_cast<int>(std::lrint(quality));
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    frame->pts = ost.SyncOpts;
    const int sent = AVC.avcodec_send_frame(enc, frame);
    AVU.av_frame_unref(frame);
    if (sent < 0) RaiseVideoError("avcodec_send_frame", sent, ost, os);
    written += WriteVideoPackets(os, ost);
    ost.SyncOpts += 1;
    ost.FrameNumber += 1;
  }
  return written;
}

int TCustomFFmpegHlpr::WriteVideoPackets(AVFormatContext* os, OutputStream& ost) {
  AVCodecContext* enc = ost.Encoder;
  AVPacket* packet = ost.EncodedPacket.get();
  int written = 0;
  for (;;) {
    const int received = AVC.avcodec_receive_packet(enc, packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
    if (received < 0) RaiseVideoError("avcodec_receive_packet", received, ost, os);
    size_t statsSize = 0;
    const uint8_t* stats =
        AVC.av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &statsSize);
    if (stats && statsSize >= 4) ost.Quality = static_cast<float>(AV_RL32(stats));
    const int size = packet->size;
    packet->stream_index = ost.Index;
    AVC.av_packet_rescale_ts(packet, enc->time_base, ost.Stream->time_base);
    WritePacket(os, packet, ost);
    AVC.av_packet_unref(packet);
    written += size;
    if (ost.LogFile && enc->stats_out) std::fprintf(ost.LogFile.get(), "%s", enc->stats_out);
  }
  return written;
}

void TCustomFFmpegHlpr::FlushVideoEncoder(AVFormatContext* os, OutputStream& ost) {
  if (ost.EncoderDrained) return;
  ost.EncoderDrained = true;
  const int sent = AVC.avcodec_send_frame(ost.Encoder, nullptr);
  // An encoder already drained has nothing more to give; any other refusal
  // would lose the delayed pictures.
  if (sent == AVERROR_EOF) return;
  if (sent < 0) RaiseVideoError("avcodec_send_frame", sent, ost, os);
  VideoBytes += WriteVideoPackets(os, ost);
}
