// One input packet: decoded (audio stays in the decoder's own format) and
// handed to every output stream it feeds, or passed through to the outputs
// that copy it. Without a packet the decoder is drained and the encoders of
// the stream's outputs are flushed.
#include "engine/FFmpegHlpr.h"
#include "engine/StreamDecoder.h"
#include "engine/StreamPlausibility.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"

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
    AVCodecContext* dec = ist.Decoder;
    AVFrame* frame = t.DecodedFrame;
    int frames = 0;
    // Decodes whatever the decoder holds; false on a decoding error.
    auto receiveFrames = [&]() -> bool {
      // A stop is honoured between frames too: one packet may hold many.
      while (!StopRequested) {
        const int received = ReceiveFromDecoder(dec, frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
        if (received < 0) return false;
        if (packet && ++frames > 1 && Verbose > 0)
          LogF(0, "Multiple frames in a packet from stream %d", packet->stream_index);
        ist.Pts = ist.NextPts;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO)
          OutputDecodedPicture(t, ist, istIndex, frame);
        if (parameters->codec_type != AVMEDIA_TYPE_AUDIO) {
          AVU.av_frame_unref(frame);
          continue;
        }
        if (frame->nb_samples <= 0 || frame->sample_rate <= 0 ||
            frame->ch_layout.nb_channels <= 0) {
          AVU.av_frame_unref(frame);
          continue;
        }
        // A decoder may change the shape mid-stream, as the frame's header says.
        if (const std::string problem =
                ImplausibleAudioShape(frame->sample_rate, frame->ch_layout.nb_channels);
            !problem.empty()) {
          AVU.av_frame_unref(frame);
          throw FFMpegException(std::string(InputFiles[ist.FileIndex]->url) + ": " + problem);
        }
        ist.DecodedSamples += frame->nb_samples;
        ist.NextPts += static_cast<int64_t>(frame->nb_samples) * 1000000 / frame->sample_rate;
        for (const auto& ost : t.OutputStreams) {
          if (ost->SourceIndex != istIndex || !ost->EncodingNeeded) continue;
          if (ost->Encoder->codec_type != AVMEDIA_TYPE_AUDIO)
            throw FFMpegException("invalid codec_type");
          EncodeAudio(OutputFiles[ost->FileIndex].get(), *ost, frame);
        }
        AVU.av_frame_unref(frame);
      }
      return true;
    };

    int sent = SendToDecoder(dec, packet);
    bool decoded = true;
    if (sent == AVERROR(EAGAIN)) {
      // Frames left over from an earlier error must go out first.
      decoded = receiveFrames();
      sent = SendToDecoder(dec, packet);
    }
    if (sent < 0 && sent != AVERROR_EOF) decoded = false;
    if (!receiveFrames()) decoded = false;
    if (!decoded && packet) {
      result = -1;
      // A header whose stated maximum block is too small makes the decoder
      // refuse every block: that is said at the first one, naming its size.
      if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && ist.DecodedSamples == 0)
        if (const std::string problem = RefusedBlockSize(*parameters, base, *packet);
            !problem.empty()) {
          throw FFMpegException(std::string(InputFiles[ist.FileIndex]->url) + ": " + problem);
        }
    }
  } else if (packet) {
    ist.Pts = ist.NextPts;
    if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
      // Codecs without a fixed frame size (PCM) state the length per packet.
      if (parameters->sample_rate > 0 && parameters->frame_size > 0)
        ist.NextPts += 1000000LL * parameters->frame_size / parameters->sample_rate;
      else if (packet->duration > 0)
        ist.NextPts += AVU.av_rescale_q(packet->duration, base, AV_TIME_BASE_Q);
    } else if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
      const AVRational rate = ist.Stream->avg_frame_rate.num > 0 ? ist.Stream->avg_frame_rate
                                                                 : ist.Stream->r_frame_rate;
      if (rate.num > 0 && rate.den > 0) ist.NextPts += 1000000LL * rate.den / rate.num;
    }
  }

  // Outputs that copy this stream, from its first key packet on.
  if (packet) {
    for (const auto& ostPointer : t.OutputStreams) {
      OutputStream& ost = *ostPointer;
      if (ost.SourceIndex != istIndex || ost.EncodingNeeded) continue;
      if (ost.FrameNumber == 0 && !(packet->flags & AV_PKT_FLAG_KEY)) continue;
      if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
        AudioBytes += packet->size;
      } else if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
        VideoBytes += packet->size;
        ost.SyncOpts += 1;
      }
      AVPacket* out = t.CopyPacket;
      if (AVC.av_packet_ref(out, packet) < 0) throw FFMpegException("av_mallocz fail");
      const AVRational outBase = ost.Stream->time_base;
      out->stream_index = ost.Index;
      out->pts = packet->pts != AV_NOPTS_VALUE ? AVU.av_rescale_q(packet->pts, base, outBase)
                                               : AV_NOPTS_VALUE;
      out->dts = packet->dts != AV_NOPTS_VALUE ? AVU.av_rescale_q(packet->dts, base, outBase)
                                               : AVU.av_rescale_q(ist.Pts, AV_TIME_BASE_Q, outBase);
      out->duration = AVU.av_rescale_q(packet->duration, base, outBase);
      out->pos = -1;
      WritePacket(OutputFiles[ost.FileIndex].get(), out, ost);
      AVC.av_packet_unref(out);
      ost.FrameNumber += 1;
    }
    return result;
  }

  // End of input: what the encoders of this stream's outputs still hold.
  for (const auto& ost : t.OutputStreams) {
    if (ost->SourceIndex != istIndex || !ost->EncodingNeeded) continue;
    if (ost->Encoder->codec_type == AVMEDIA_TYPE_AUDIO)
      FlushAudioEncoder(OutputFiles[ost->FileIndex].get(), *ost);
    else if (ost->Encoder->codec_type == AVMEDIA_TYPE_VIDEO)
      FlushVideoEncoder(OutputFiles[ost->FileIndex].get(), *ost);
  }
  return 0;
}
