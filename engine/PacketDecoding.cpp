// One input packet: decoded (audio stays in the decoder's own format) and
// handed to every output stream it feeds, or passed through to the outputs
// that copy it. Without a packet the decoder is drained and the encoders of
// the stream's outputs are flushed.
#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/StreamDecoder.h"
#include "engine/StreamNames.h"
#include "engine/StreamPlausibility.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

// A stream that is not decoded moves on by what its packet or its stream
// states.
void AdvanceCopiedStream(InputStream& ist, const AVPacket& packet) {
  const AVCodecParameters* parameters = ist.Stream->codecpar;
  const AVRational base = ist.Stream->time_base;
  ist.Pts = ist.NextPts;
  if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
    // Codecs without a fixed frame size (PCM) state the length per packet.
    if (parameters->sample_rate > 0 && parameters->frame_size > 0)
      ist.NextPts += 1000000LL * parameters->frame_size / parameters->sample_rate;
    else if (packet.duration > 0)
      ist.NextPts += AVU.av_rescale_q(packet.duration, base, AV_TIME_BASE_Q);
  } else if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
    const AVRational rate =
        ist.Stream->avg_frame_rate.num > 0 ? ist.Stream->avg_frame_rate : ist.Stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) ist.NextPts += 1000000LL * rate.den / rate.num;
  }
}

}  // namespace

int TCustomFFmpegHlpr::ProcessInputPacket(TranscodeTables& t, InputStream& ist, int istIndex,
                                          AVPacket* packet) {
  if (ist.NextPts == AV_NOPTS_VALUE) ist.NextPts = ist.Pts;
  const AVRational base = ist.Stream->time_base;
  if (packet) {
    if (packet->dts != AV_NOPTS_VALUE)
      ist.Pts = ist.NextPts = AVU.av_rescale_q(packet->dts, base, AV_TIME_BASE_Q);
    if (packet->size <= 0) return 0;
  }
  const AVCodecParameters* parameters = ist.Stream->codecpar;

  int result = 0;
  if (ist.DecodingNeeded && parameters->codec_type == AVMEDIA_TYPE_SUBTITLE) {
    // Subtitle decoders still take one packet and give one subtitle.
    result = ProcessSubtitlePacket(t, ist, istIndex, packet);
  } else if (ist.DecodingNeeded) {
    result = DecodePacket(t, ist, istIndex, packet);
  } else if (packet) {
    AdvanceCopiedStream(ist, *packet);
  }

  if (!packet) {
    FlushStreamEncoders(t, istIndex);
    return 0;
  }
  CopyPacketToOutputs(t, ist, istIndex, *packet);
  return result;
}

int TCustomFFmpegHlpr::DecodePacket(TranscodeTables& t, InputStream& ist, int istIndex,
                                    AVPacket* packet) {
  AVCodecContext* dec = ist.Decoder;
  int frames = 0;
  // The first call that failed, for the message.
  const char* failedCall = nullptr;
  int failure = 0;
  auto note = [&](const char* call, int status) {
    if (status >= 0 || failedCall) return;
    failedCall = call;
    failure = status;
  };
  int sent = SendToDecoder(dec, packet);
  if (sent == AVERROR(EAGAIN)) {
    // Frames left over from an earlier error must go out first.
    note("avcodec_receive_frame", ReceiveDecodedFrames(t, ist, istIndex, packet, frames));
    sent = SendToDecoder(dec, packet);
  }
  if (sent != AVERROR_EOF) note("avcodec_send_packet", sent);
  note("avcodec_receive_frame", ReceiveDecodedFrames(t, ist, istIndex, packet, frames));
  if (!failedCall) return 0;
  const std::string where = StreamName(InputFiles[ist.FileIndex].get(), ist);
  if (!packet) {
    // What the decoder still held is lost: said, not passed over.
    if (Verbose >= 0)
      Log(1, "Error while draining the decoder: " + LibraryCallError(failedCall, failure, where));
    return 0;
  }
  ist.DecodeFailure = LibraryCallError(failedCall, failure, where);
  // A header whose stated maximum block is too small makes the decoder
  // refuse every block: that is said at the first one, naming its size.
  const AVCodecParameters* parameters = ist.Stream->codecpar;
  if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && ist.DecodedSamples == 0)
    if (const std::string problem = RefusedBlockSize(*parameters, ist.Stream->time_base, *packet);
        !problem.empty()) {
      throw FFMpegException(std::string(InputFiles[ist.FileIndex]->url) + ": " + problem);
    }
  return -1;
}

int TCustomFFmpegHlpr::ReceiveDecodedFrames(TranscodeTables& t, InputStream& ist, int istIndex,
                                            const AVPacket* packet, int& frames) {
  AVCodecContext* dec = ist.Decoder;
  AVFrame* frame = t.DecodedFrame.get();
  const AVMediaType type = ist.Stream->codecpar->codec_type;
  // A stop is honoured between frames too: one packet may hold many.
  while (!StopRequested) {
    const int received = ReceiveFromDecoder(dec, frame);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return 0;
    if (received < 0) return received;
    if (packet && ++frames > 1 && Verbose > 0)
      LogF(0, "Multiple frames in a packet from stream %d", packet->stream_index);
    ist.Pts = ist.NextPts;
    if (type == AVMEDIA_TYPE_VIDEO) OutputDecodedPicture(t, ist, istIndex, frame);
    if (type == AVMEDIA_TYPE_AUDIO) OutputDecodedAudio(t, ist, istIndex, frame);
    AVU.av_frame_unref(frame);
  }
  return 0;
}

void TCustomFFmpegHlpr::OutputDecodedAudio(TranscodeTables& t, InputStream& ist, int istIndex,
                                           AVFrame* frame) {
  if (frame->nb_samples <= 0 || frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0)
    return;
  // A decoder may change the shape mid-stream, as the frame's header says.
  if (const std::string problem =
          ImplausibleAudioShape(frame->sample_rate, frame->ch_layout.nb_channels);
      !problem.empty()) {
    AVU.av_frame_unref(frame);
    throw FFMpegException(std::string(InputFiles[ist.FileIndex]->url) + ": " + problem);
  }
  const int64_t first = ist.DecodedSamples;
  ist.DecodedSamples += frame->nb_samples;
  ist.NextPts += static_cast<int64_t>(frame->nb_samples) * 1000000 / frame->sample_rate;
  for (const auto& ost : t.OutputStreams) {
    if (ost->SourceIndex != istIndex || !ost->EncodingNeeded) continue;
    if (ost->Encoder->codec_type != AVMEDIA_TYPE_AUDIO) throw FFMpegException("invalid codec_type");
    const TrackWindow& window = OutputTrackWindows[ost->FileIndex];
    if (!window.Active) {
      EncodeAudio(OutputFiles[ost->FileIndex].get(), *ost, frame);
      continue;
    }
    const SampleSpan span = SpanInWindow(window, frame->sample_rate, first, frame->nb_samples);
    if (span.Count > 0)
      EncodeAudio(OutputFiles[ost->FileIndex].get(), *ost, frame, span.Offset, span.Count);
  }
}

void TCustomFFmpegHlpr::CopyPacketToOutputs(TranscodeTables& t, const InputStream& ist,
                                            int istIndex, const AVPacket& packet) {
  const AVCodecParameters* parameters = ist.Stream->codecpar;
  const AVRational base = ist.Stream->time_base;
  for (const auto& ostPointer : t.OutputStreams) {
    OutputStream& ost = *ostPointer;
    if (ost.SourceIndex != istIndex || ost.EncodingNeeded) continue;
    // From the stream's first key packet on.
    if (ost.FrameNumber == 0 && !(packet.flags & AV_PKT_FLAG_KEY)) continue;
    if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
      AudioBytes += packet.size;
    } else if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
      VideoBytes += packet.size;
      ost.SyncOpts += 1;
    }
    AVPacket* out = t.CopyPacket.get();
    if (const int referenced = AVC.av_packet_ref(out, &packet); referenced < 0)
      RaiseLibraryError("av_packet_ref", referenced,
                        StreamName(OutputFiles[ost.FileIndex].get(), ost));
    const AVRational outBase = ost.Stream->time_base;
    out->stream_index = ost.Index;
    out->pts =
        packet.pts != AV_NOPTS_VALUE ? AVU.av_rescale_q(packet.pts, base, outBase) : AV_NOPTS_VALUE;
    out->dts = packet.dts != AV_NOPTS_VALUE ? AVU.av_rescale_q(packet.dts, base, outBase)
                                            : AVU.av_rescale_q(ist.Pts, AV_TIME_BASE_Q, outBase);
    out->duration = AVU.av_rescale_q(packet.duration, base, outBase);
    out->pos = -1;
    WritePacket(OutputFiles[ost.FileIndex].get(), out, ost);
    AVC.av_packet_unref(out);
    ost.FrameNumber += 1;
  }
}

void TCustomFFmpegHlpr::FlushStreamEncoders(TranscodeTables& t, int istIndex) {
  for (const auto& ost : t.OutputStreams) {
    if (ost->SourceIndex != istIndex || !ost->EncodingNeeded) continue;
    if (ost->Encoder->codec_type == AVMEDIA_TYPE_AUDIO)
      FlushAudioEncoder(OutputFiles[ost->FileIndex].get(), *ost);
    else if (ost->Encoder->codec_type == AVMEDIA_TYPE_VIDEO)
      FlushVideoEncoder(OutputFiles[ost->FileIndex].get(), *ost);
  }
}
