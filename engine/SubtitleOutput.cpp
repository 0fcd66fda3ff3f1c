// Subtitle output path: a decoded subtitle is encoded into the engine's
// subtitle buffer and written, twice for DVB subtitles (one packet shows it,
// one clears it, each at its own display time).
#include <algorithm>

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/StreamNames.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"

namespace {

constexpr size_t SubtitleBufferSize = 65536;
constexpr AVRational Milliseconds = {1, 1000};

}  // namespace

void TCustomFFmpegHlpr::SetUpSubtitleOutput(OutputStream& ost, InputStream& ist) {
  // Subtitle encoders keep no time base of their own; packets carry
  // microseconds until the muxer chooses the stream's.
  if (ost.Encoder->time_base.num <= 0 || ost.Encoder->time_base.den <= 0)
    ost.Encoder->time_base = AV_TIME_BASE_Q;
  if (!ost.EncodedPacket) ost.EncodedPacket.reset(AVC.av_packet_alloc());
  if (!ost.EncodedPacket) throw FFMpegException("av_mallocz fail");
  ost.EncodingNeeded = 1;
  ist.DecodingNeeded = 1;
}

int TCustomFFmpegHlpr::ProcessSubtitlePacket(TranscodeTables& t, InputStream& ist, int istIndex,
                                             AVPacket* packet) {
  ist.Pts = ist.NextPts;
  // The end-of-input pass hands the decoder an empty packet.
  AVPacket* input = packet ? packet : t.CopyPacket.get();
  if (!packet) AVC.av_packet_unref(input);
  MediaObjects::DecodedSubtitle decoded;
  int got = 0;
  const int used = AVC.avcodec_decode_subtitle2(ist.Decoder, &decoded.Subtitle, &got, input);
  if (used < 0) {
    ist.DecodeFailure = LibraryCallError("avcodec_decode_subtitle2", used,
                                         StreamName(InputFiles[ist.FileIndex].get(), ist));
    return -1;
  }
  decoded.Got = got != 0;
  if (!got) return 0;
  const int64_t pts = packet ? packet->pts : AV_NOPTS_VALUE;
  for (const auto& ost : t.OutputStreams) {
    if (ost->SourceIndex != istIndex || !ost->EncodingNeeded) continue;
    if (ost->Encoder->codec_type != AVMEDIA_TYPE_SUBTITLE)
      throw FFMpegException("invalid codec_type");
    EncodeSubtitle(OutputFiles[ost->FileIndex].get(), *ost, ist, &decoded.Subtitle, pts);
  }
  return 0;
}

void TCustomFFmpegHlpr::EncodeSubtitle(AVFormatContext* os, OutputStream& ost, InputStream& ist,
                                       AVSubtitle* subtitle, int64_t pts) {
  if (pts == AV_NOPTS_VALUE) {
    Log(0, "Subtitle packets must have a pts");
    return;
  }
  if (SubtitleBuffer.empty()) SubtitleBuffer.resize(SubtitleBufferSize);
  AVCodecContext* enc = ost.Encoder;
  const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  const AVRational outBase = ost.Stream->time_base;
  const int64_t time = AVU.av_rescale_q(pts, ist.Stream->time_base, outBase);

  // The encoder wants the display to start at the subtitle's own time: the
  // start offset moves into the time, the end stays where it was.
  const uint32_t start = subtitle->start_display_time;
  const uint32_t end = subtitle->end_display_time;
  // The caller frees the subtitle by its own rectangle count, so it gets
  // its fields back on every way out.
  struct Restore {
    AVSubtitle* subtitle;
    uint32_t start, end;
    unsigned rects;
    ~Restore() {
      subtitle->num_rects = rects;
      subtitle->start_display_time = start;
      subtitle->end_display_time = end;
    }
  } restore{subtitle, start, end, subtitle->num_rects};
  subtitle->pts = AVU.av_rescale_q(pts, ist.Stream->time_base, AV_TIME_BASE_Q) +
                  AVU.av_rescale_q(start, Milliseconds, AV_TIME_BASE_Q);
  subtitle->start_display_time = 0;
  subtitle->end_display_time = end > start ? end - start : 0;

  for (int pass = 0; pass < (dvb ? 2 : 1); ++pass) {
    // The second DVB packet clears the screen: a page without regions.
    if (pass == 1) subtitle->num_rects = 0;
    const int size = AVC.avcodec_encode_subtitle(enc, SubtitleBuffer.data(),
                                                 static_cast<int>(SubtitleBuffer.size()), subtitle);
    if (size < 0)
      throw FFMpegException("Subtitle encoding failed: " +
                            LibraryCallError("avcodec_encode_subtitle", size, StreamName(os, ost)));
    AVPacket* packet = ost.EncodedPacket.get();
    if (const int made = AVC.av_new_packet(packet, size); made < 0)
      RaiseLibraryError("av_new_packet", made, StreamName(os, ost));
    std::copy_n(SubtitleBuffer.data(), size, packet->data);
    packet->stream_index = ost.Index;
    packet->pts = time + AVU.av_rescale_q(pass == 1 ? end : start, Milliseconds, outBase);
    packet->dts = packet->pts;
    if (!dvb)
      packet->duration = AVU.av_rescale_q(end > start ? end - start : 0, Milliseconds, outBase);
    WritePacket(os, packet, ost);
    AVC.av_packet_unref(packet);
  }
}
