// The engine's side of segment encoding (SplitEncoder.h): which streams are
// cut, and the writing of the joined packets through the stream's one
// muxer. A stream is cut only when it is MP3, runs whole (no track window,
// no two-pass statistics) and its source is long enough.
#include <algorithm>
#include <string>

#include "engine/FFmpegHlpr.h"
#include "engine/StreamNames.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"

void TCustomFFmpegHlpr::StartSplitEncoding(OutputStream& ost) {
  const AVCodecContext* enc = ost.Encoder;
  if (ThreadsPerFile <= 1 || enc->codec_id != AV_CODEC_ID_MP3 || !enc->codec) return;
  if (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) return;
  if (OutputTrackWindows[ost.FileIndex].Active || !ost.SyncInput) return;
  const AVFormatContext* input = InputFiles[ost.SyncInput->FileIndex].get();
  if (!input || input->duration == AV_NOPTS_VALUE || input->duration <= 0) return;
  int64_t length = input->duration - std::max<int64_t>(StartTime, 0);
  if (RecordingTime > 0) length = std::min(length, RecordingTime);
  const SplitPlan plan =
      PlanSplit(ThreadsPerFile, length / 1e6, enc->sample_rate, enc->frame_size);
  if (plan.Encoders <= 1) return;
  ost.Split = std::make_unique<SplitEncoder>(enc, plan, *CodecLock);
  LogF(1, "%s: encoded in segments on %d encoders",
       StreamName(OutputFiles[ost.FileIndex].get(), ost).c_str(), plan.Encoders);
}

void TCustomFFmpegHlpr::WriteSplitPackets(AVFormatContext* os, OutputStream& ost) {
  AVPacket* packet = ost.EncodedPacket.get();
  while (ost.Split->Take(packet)) {
    AudioBytes += packet->size;
    packet->stream_index = ost.Index;
    AVC.av_packet_rescale_ts(packet, ost.Encoder->time_base, ost.Stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    WritePacket(os, packet, ost);
    AVC.av_packet_unref(packet);
  }
}

void TCustomFFmpegHlpr::ReportSplitJoins(const AVFormatContext* os, const OutputStream& ost) {
  std::string frames;
  for (const int64_t join : ost.Split->Joins())
    frames += (frames.empty() ? "" : ", ") + std::to_string(join);
  LogF(1, "%s: %d segments joined at frames %s; %d frames at a higher bit rate",
       StreamName(os, ost).c_str(), ost.Split->SegmentCount(), frames.c_str(),
       ost.Split->RaisedFrames());
}
