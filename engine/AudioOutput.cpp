// Audio output path: each decoded frame reaches every audio output it feeds
// through one converter, from the decoder's own sample format, layout and
// rate straight to the encoder's, with the volume in the same pass and
// triangular dither only where the depth is reduced. The converted samples
// wait in the stream's FIFO, in the encoder's format, until they fill an
// encoder frame; every packet the encoder returns is written.
//
// Floating-point samples are repaired on the way in (SampleRepair.h).
//
// A frame is worked through in bounded chunks, and the stop flag is looked at
// between them. A failing conversion, FIFO write or encoder call raises with
// the library's words; no sample is dropped silently.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/AudioFormatRules.h"
#include "engine/ConverterChoices.h"
#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "engine/OutputVerifier.h"
#include "engine/StreamNames.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/SwResampleHlpr.h"

namespace {

// Input samples per channel converted at a time: bounds the chunk buffer
// whatever frame size a decoder delivers.
constexpr int ChunkSamples = 4096;

// The frame's layout; an unordered one becomes the default for its count.
void FrameLayout(const AVFrame* frame, MediaObjects::ChannelLayout& layout) {
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
      AVU.av_channel_layout_copy(layout.Address(), &frame->ch_layout) < 0)
    AVU.av_channel_layout_default(layout.Address(), frame->ch_layout.nb_channels);
}

void SetOption(SwrContext* converter, const char* name, const std::string& value,
               const std::string& where) {
  const int result = AVU.av_opt_set(converter, name, value.c_str(), 0);
  if (result < 0) RaiseLibraryError("av_opt_set", result, where);
}

// Gives `frame` room for `samples` samples per channel of the encoder's
// shape; its buffer is reallocated only when it grows or is shared. Called
// for every encoder frame (64 samples for Vorbis), so the stream's name is
// only made when there is an error to tell.
void FitFrame(AVFrame* frame, int& capacity, const AVCodecContext* enc, int samples,
              const AVFormatContext* os, const OutputStream& ost) {
  int result = 0;
  if (capacity < samples) {
    AVU.av_frame_unref(frame);
    frame->format = enc->sample_fmt;
    frame->nb_samples = samples;
    result = AVU.av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    if (result >= 0) result = AVU.av_frame_get_buffer(frame, 0);
    if (result < 0) {
      capacity = 0;
      RaiseLibraryError("av_frame_get_buffer", result, StreamName(os, ost));
    }
    capacity = samples;
  } else if ((result = AVU.av_frame_make_writable(frame)) < 0) {
    RaiseLibraryError("av_frame_make_writable", result, StreamName(os, ost));
  }
  frame->nb_samples = samples;
  frame->sample_rate = enc->sample_rate;
}

}  // namespace

double TCustomFFmpegHlpr::SyncInputTime(const OutputStream& ost) const {
  return static_cast<double>(ost.SyncInput->Pts - StartTime) / 1000000.0;
}

void TCustomFFmpegHlpr::FitAudioConverter(AVFormatContext* os, OutputStream& ost,
                                          const AVFrame* frame) {
  if (ost.ConverterFitted && ost.ConverterInFormat == frame->format &&
      ost.ConverterInRate == frame->sample_rate &&
      ost.ConverterInLayout.Channels() == frame->ch_layout.nb_channels &&
      (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
       AVU.av_channel_layout_compare(ost.ConverterInLayout.Get(), &frame->ch_layout) == 0))
    return;
  // The old converter may hold samples (a resampler's filter tail).
  DrainAudioConverter(os, ost);
  ost.Converter.reset();
  ost.ConverterFitted = false;
  ost.ConverterInLayout.Clear();

  AVCodecContext* enc = ost.Encoder;
  const std::string where = StreamName(os, ost);
  MediaObjects::ChannelLayout layout;
  FrameLayout(frame, layout);
  const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
  const bool same = format == enc->sample_fmt && frame->sample_rate == enc->sample_rate &&
                    AVU.av_channel_layout_compare(layout.Get(), &enc->ch_layout) == 0;
  const double volume = AudioVolume / 256.0 * std::pow(10.0, LoudnessGainDb / 20);
  if (!same || volume != 1.0) {
    SwrContext* made = nullptr;
    int result = SWR.swr_alloc_set_opts2(&made, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                         layout.Address(), format, frame->sample_rate, 0, nullptr);
    ost.Converter.reset(made);
    if (result < 0) RaiseLibraryError("swr_alloc_set_opts2", result, where);
    const AVCodecContext* dec = ost.SyncInput->Decoder;
    const int inBits = SampleDepth(format, dec ? dec->bits_per_raw_sample : 0);
    if (NeedsDither(inBits, enc->sample_fmt, enc->bits_per_raw_sample)) {
      SetOption(made, "dither_method", "triangular", where);
      if (SampleDepth(enc->sample_fmt, enc->bits_per_raw_sample) < 32 &&
          SampleDepth(enc->sample_fmt) == 32)
        SetOption(made, "output_sample_bits", std::to_string(enc->bits_per_raw_sample), where);
    }
    ChooseResampler(made, frame->sample_rate, enc->sample_rate, where);
    // A normalisation gain rides in the same pass as the volume, folded into
    // a channel matrix where there is one.
    const bool matrixed = ChooseChannelMatrix(made, *layout.Get(), enc->ch_layout, volume, where);
    if (volume != 1.0) {
      // Scaled in floating point, so that a raised volume clips instead of
      // wrapping round.
      if (!matrixed) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", volume);
        SetOption(made, "rematrix_volume", text, where);
      }
      SetOption(made, "internal_sample_fmt", "fltp", where);
    }
    if ((result = SWR.swr_init(made)) < 0) RaiseLibraryError("swr_init", result, where);
  }
  ost.ConverterInLayout.TakeOver(layout);
  ost.ConverterInFormat = frame->format;
  ost.ConverterInRate = frame->sample_rate;
  ost.ConverterFitted = true;
}

void TCustomFFmpegHlpr::ConvertIntoFifo(AVFormatContext* os, OutputStream& ost,
                                        const uint8_t* const* in, int samples) {
  SwrContext* converter = ost.Converter.get();
  if (!converter) {
    if (samples > 0 &&
        AVU.av_audio_fifo_write(ost.Fifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(in)),
                                samples) < samples)
      RaiseLibraryError("av_audio_fifo_write", AVERROR(ENOMEM), StreamName(os, ost));
    return;
  }
  // With no input the converter gives up what it holds, possibly in more
  // than one call.
  for (;;) {
    const int room = SWR.swr_get_out_samples(converter, samples);
    if (room < 0) RaiseLibraryError("swr_get_out_samples", room, StreamName(os, ost));
    if (!ost.Converted) {
      ost.Converted.reset(AVU.av_frame_alloc());
      if (!ost.Converted)
        RaiseLibraryError("av_frame_alloc", AVERROR(ENOMEM), StreamName(os, ost));
    }
    FitFrame(ost.Converted.get(), ost.ConvertedCapacity, ost.Encoder, std::max(room, 1), os,
             ost);
    const int made = SWR.swr_convert(converter, ost.Converted->extended_data, std::max(room, 1),
                                     const_cast<const uint8_t**>(in), samples);
    if (made < 0) RaiseLibraryError("swr_convert", made, StreamName(os, ost));
    if (made > 0 &&
        AVU.av_audio_fifo_write(
            ost.Fifo.get(), reinterpret_cast<void**>(ost.Converted->extended_data), made) < made)
      RaiseLibraryError("av_audio_fifo_write", AVERROR(ENOMEM), StreamName(os, ost));
    if (in || made == 0) return;
  }
}

void TCustomFFmpegHlpr::DrainAudioConverter(AVFormatContext* os, OutputStream& ost) {
  if (ost.Converter) ConvertIntoFifo(os, ost, nullptr, 0);
}

void TCustomFFmpegHlpr::SendAudioFrame(AVFormatContext* os, OutputStream& ost, AVFrame* frame) {
  AVCodecContext* enc = ost.Encoder;
  if (!frame) {
    if (ost.EncoderDrained) return;
    ost.EncoderDrained = true;
  }
  const int sent = AVC.avcodec_send_frame(enc, frame);
  if (sent < 0) RaiseLibraryError("avcodec_send_frame", sent, StreamName(os, ost));
  AVPacket* packet = ost.EncodedPacket.get();
  for (;;) {
    const int received = AVC.avcodec_receive_packet(enc, packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
    if (received < 0) RaiseLibraryError("avcodec_receive_packet", received, StreamName(os, ost));
    AudioBytes += packet->size;
    packet->stream_index = ost.Index;
    AVC.av_packet_rescale_ts(packet, enc->time_base, ost.Stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    WritePacket(os, packet, ost);
    AVC.av_packet_unref(packet);
  }
}

void TCustomFFmpegHlpr::EncodeFromFifo(AVFormatContext* os, OutputStream& ost, bool last) {
  AVCodecContext* enc = ost.Encoder;
  AVAudioFifo* fifo = ost.Fifo.get();
  // Encoders without a fixed frame size (PCM) take what there is.
  const bool framed = enc->frame_size > 1;
  const int frameSize = framed ? enc->frame_size : ChunkSamples;
  for (;;) {
    const int held = AVU.av_audio_fifo_size(fifo);
    if (held <= 0 || (framed && held < frameSize && !last)) return;
    const int samples = std::min(held, frameSize);
    // A short last frame is padded with silence for an encoder that wants
    // whole frames only.
    const int caps = enc->codec ? enc->codec->capabilities : 0;
    const bool pad = framed && samples < frameSize &&
                     !(caps & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
    FitFrame(ost.EncoderFrame.get(), ost.EncoderFrameCapacity, enc, pad ? frameSize : samples, os,
             ost);
    AVFrame* frame = ost.EncoderFrame.get();
    if (AVU.av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->extended_data), samples) <
        samples)
      RaiseLibraryError("av_audio_fifo_read", AVERROR(EIO), StreamName(os, ost));
    ost.SamplesEncoded += samples;
    if (VerifyOutputs && IsLosslessCodec(enc->codec_id))
      ost.EncoderInput.Add(*frame, samples, enc->bits_per_raw_sample);
    if (MeasureLoudness) {
      if (!ost.Meter) ost.Meter = std::make_unique<LoudnessMeter>();
      ost.Meter->Add(*frame, samples);
    }
    const int silenced =
        pad ? AVU.av_samples_set_silence(frame->extended_data, samples, frameSize - samples,
                                         enc->ch_layout.nb_channels, enc->sample_fmt)
            : 0;
    if (silenced < 0) RaiseLibraryError("av_samples_set_silence", silenced, StreamName(os, ost));
    frame->pts = ost.SyncOpts;
    if (ost.Split) {
      ost.Split->Add(*frame);
      WriteSplitPackets(os, ost);
    } else {
      SendAudioFrame(os, ost, frame);
    }
    ost.SyncOpts += samples;
  }
}

void TCustomFFmpegHlpr::EncodeAudio(AVFormatContext* os, OutputStream& ost, const AVFrame* frame,
                                    int offset, int count) {
  AVCodecContext* enc = ost.Encoder;
  if (ost.EncoderDrained || frame->nb_samples <= 0 || frame->sample_rate <= 0 ||
      frame->ch_layout.nb_channels <= 0)
    return;
  const int end = count < 0 ? frame->nb_samples : std::min(frame->nb_samples, offset + count);
  FitAudioConverter(os, ost, frame);
  // The next sample to encode is as old as the samples still waiting in
  // the FIFO and in the converter's filter: muxers that pair audio with
  // pictures by amount (DV) need timestamps that say so. A track counts its
  // own samples from its start instead.
  if (!OutputTrackWindows[ost.FileIndex].Active) {
    const int64_t held =
        ost.Converter ? SWR.swr_get_delay(ost.Converter.get(), enc->sample_rate) : 0;
    ost.SyncOpts = std::llrint(SyncInputTime(ost) * enc->sample_rate) -
                   static_cast<int64_t>(AVU.av_audio_fifo_size(ost.Fifo.get())) - held;
  }

  const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
  const int bytesPerSample = AVU.av_get_bytes_per_sample(format);
  const bool planar = AVU.av_sample_fmt_is_planar(format);
  const int channels = frame->ch_layout.nb_channels;
  const int planes = planar ? channels : 1;
  // The converter takes at most this many channels too.
  std::array<const uint8_t*, 64> chunk{};
  if (planes > static_cast<int>(chunk.size()))
    RaiseLibraryError("swr_convert", AVERROR(EINVAL), StreamName(os, ost));
  for (int done = offset; done < end && !StopRequested;) {
    const int samples = std::min(ChunkSamples, end - done);
    const size_t offset = static_cast<size_t>(done) * bytesPerSample * (planar ? 1 : channels);
    for (int p = 0; p < planes; ++p) chunk[p] = frame->extended_data[p] + offset;
    const uint8_t* const* repaired =
        ost.Repair.Repair(chunk.data(), format, planes, planar ? samples : samples * channels);
    InvalidSamples = std::max(InvalidSamples, ost.Repair.Invalid());
    ConvertIntoFifo(os, ost, repaired, samples);
    EncodeFromFifo(os, ost, false);
    done += samples;
  }
}

void TCustomFFmpegHlpr::FlushAudioEncoder(AVFormatContext* os, OutputStream& ost) {
  if (ost.EncoderDrained) return;
  if (ost.Split && StopRequested) {
    // A stopped run's output is discarded; its workers are not waited for.
    ost.Split.reset();
    ost.EncoderDrained = true;
    return;
  }
  DrainAudioConverter(os, ost);
  EncodeFromFifo(os, ost, true);
  if (ost.Split) {
    ost.Split->Finish();
    WriteSplitPackets(os, ost);
    ReportSplitJoins(os, ost);
    ost.EncoderDrained = true;
    return;
  }
  SendAudioFrame(os, ost, nullptr);
}
