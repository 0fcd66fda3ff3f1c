// The only way a packet reaches an output file: through the stream's
// bitstream filters, then interleaved into the muxer.
#include <algorithm>

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"

namespace {

// The muxer refuses decoding times that go backwards (or repeat, for most
// formats); a stream whose input timing wobbles by a sample would otherwise
// end the whole run. Such a packet is moved just past its predecessor.
void KeepDtsIncreasing(const AVFormatContext* os, AVPacket* packet, OutputStream& ost) {
  const AVMediaType type = ost.Stream->codecpar->codec_type;
  if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_VIDEO) return;
  if (packet->dts == AV_NOPTS_VALUE) return;
  if (ost.LastDts != AV_NOPTS_VALUE) {
    const int64_t least = ost.LastDts + ((os->oformat->flags & AVFMT_TS_NONSTRICT) ? 0 : 1);
    if (packet->dts < least) {
      if (packet->pts != AV_NOPTS_VALUE && packet->pts == packet->dts) packet->pts = least;
      packet->dts = least;
    }
  }
  if (packet->pts != AV_NOPTS_VALUE && packet->pts < packet->dts) packet->pts = packet->dts;
  ost.LastDts = packet->dts;
}

}  // namespace

void TCustomFFmpegHlpr::WritePacket(AVFormatContext* os, AVPacket* packet, OutputStream& ost) {
  // The picture's error per plane, for the progress report's PSNR figures.
  size_t statsSize = 0;
  if (const uint8_t* stats =
          AVC.av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &statsSize)) {
    const int planes = statsSize >= 6 ? std::min<int>(stats[5], 3) : 0;
    for (int i = 0; i < planes && statsSize >= 8 + 8 * static_cast<size_t>(i + 1); ++i)
      ost.PictureError[i] = AV_RL64(stats + 8 + 8 * i);
  }
  // Each filter's output feeds the next; a filter that fails lets the packet
  // through as it was.
  if (!ost.Filters.empty()) {
    if (ost.FilterOutputs.size() < ost.Filters.size()) {
      ost.FilterOutputs.resize(ost.Filters.size());
      for (MediaObjects::PacketPtr& out : ost.FilterOutputs) {
        if (!out) out.reset(AVC.av_packet_alloc());
        if (!out) throw FFMpegException("av_mallocz fail");
      }
    }
    WriteFiltered(os, packet, ost, 0);
    return;
  }
  Mux(os, packet, ost);
}

void TCustomFFmpegHlpr::WriteFiltered(AVFormatContext* os, AVPacket* packet, OutputStream& ost,
                                      size_t stage) {
  if (stage == ost.Filters.size()) {
    Mux(os, packet, ost);
    return;
  }
  AVBSFContext* filter = ost.Filters[stage].get();
  const int streamIndex = packet->stream_index;
  auto report = [&](int error) {
    if (!LogHook.IsSet()) return;
    const char* codec =
        ost.EncodingNeeded && ost.Encoder && ost.Encoder->codec ? ost.Encoder->codec->name : "copy";
    Log(0, OpenErrorMessage(ost.FilterNames[stage] + " failed for stream " +
                                std::to_string(streamIndex) + ", codec " + codec,
                            error));
  };
  const int sent = AVC.av_bsf_send_packet(filter, packet);
  if (sent < 0) {
    report(sent);
    WriteFiltered(os, packet, ost, stage + 1);
    return;
  }
  AVPacket* out = ost.FilterOutputs[stage].get();
  int received;
  while ((received = AVC.av_bsf_receive_packet(filter, out)) >= 0) {
    out->stream_index = streamIndex;
    WriteFiltered(os, out, ost, stage + 1);
    AVC.av_packet_unref(out);
  }
  if (received != AVERROR(EAGAIN) && received != AVERROR_EOF) {
    out->stream_index = streamIndex;
    report(received);
  }
}

void TCustomFFmpegHlpr::Mux(AVFormatContext* os, AVPacket* packet, OutputStream& ost) {
  KeepDtsIncreasing(os, packet, ost);
  const int64_t start = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (start != AV_NOPTS_VALUE) ost.Position = std::max(ost.Position, start + packet->duration);
  if (packet->size > 0) ++ost.PacketsMuxed;
  const int result = AVF.av_interleaved_write_frame(os, packet);
  if (result < 0) RaiseLibraryError("av_interleaved_write_frame", result, os->url ? os->url : "");
}
