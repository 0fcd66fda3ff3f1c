// Audio output path: decoded 16-bit interleaved audio is resampled when the
// encoder's rate or channel count differs, gathered in the stream's FIFO into
// whole encoder frames, converted to the encoder's sample format and encoded;
// every packet the encoder returns is written.
#include <cmath>
#include <cstring>

#include "engine/FFmpegHlpr.h"
#include "engine/TranscodeTables.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/SwResampleHlpr.h"

namespace {

constexpr size_t AudioFrameBufferSize = 262144;

// Resampler from the decoded shape to the encoder's, both 16-bit interleaved.
SwrContext* MakeResampler(int outChannels, int outRate, int inChannels, int inRate) {
  AVChannelLayout out = {}, in = {};
  AVU.av_channel_layout_default(&out, outChannels);
  AVU.av_channel_layout_default(&in, inChannels);
  SwrContext* context = nullptr;
  if (SWR.swr_alloc_set_opts2(&context, &out, AV_SAMPLE_FMT_S16, outRate, &in, AV_SAMPLE_FMT_S16,
                              inRate, 0, nullptr) < 0 ||
      SWR.swr_init(context) < 0)
    SWR.swr_free(&context);
  AVU.av_channel_layout_uninit(&out);
  AVU.av_channel_layout_uninit(&in);
  return context;
}

// Makes the stream's reusable frame hold `samples` samples per channel.
bool FitEncoderFrame(OutputStream& ost, int samples) {
  AVCodecContext* enc = ost.Encoder;
  AVFrame* frame = ost.EncoderFrame;
  if (ost.EncoderFrameCapacity < samples) {
    AVU.av_frame_unref(frame);
    frame->format = enc->sample_fmt;
    frame->nb_samples = samples;
    if (AVU.av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 ||
        AVU.av_frame_get_buffer(frame, 0) < 0) {
      ost.EncoderFrameCapacity = 0;
      return false;
    }
    ost.EncoderFrameCapacity = samples;
  } else if (AVU.av_frame_make_writable(frame) < 0) {
    return false;
  }
  frame->nb_samples = samples;
  frame->sample_rate = enc->sample_rate;
  return true;
}

}  // namespace

double TCustomFFmpegHlpr::SyncInputTime(const OutputStream& ost) const {
  return static_cast<double>(ost.SyncInput->Pts - StartTime) / 1000000.0;
}

void TCustomFFmpegHlpr::EncodeAudioFrame(AVFormatContext* os, OutputStream& ost,
                                         const uint8_t* data, int samples) {
  AVCodecContext* enc = ost.Encoder;
  int sent;
  if (data) {
    if (!FitEncoderFrame(ost, samples)) return;
    AVFrame* frame = ost.EncoderFrame;
    if (ost.ToEncoderFormat) {
      const uint8_t* in[1] = {data};
      if (SWR.swr_convert(ost.ToEncoderFormat, frame->extended_data, samples, in, samples) < 0)
        return;
    } else {
      std::memcpy(frame->data[0], data,
                  static_cast<size_t>(samples) * 2 * enc->ch_layout.nb_channels);
    }
    frame->pts = ost.SyncOpts;
    sent = AVC.avcodec_send_frame(enc, frame);
  } else {
    if (ost.EncoderDrained) return;
    ost.EncoderDrained = true;
    sent = AVC.avcodec_send_frame(enc, nullptr);
  }
  if (sent < 0) return;
  AVPacket* packet = ost.EncodedPacket;
  while (AVC.avcodec_receive_packet(enc, packet) >= 0) {
    AudioBytes += packet->size;
    packet->stream_index = ost.Index;
    AVC.av_packet_rescale_ts(packet, enc->time_base, ost.Stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    WritePacket(os, packet, ost);
    AVC.av_packet_unref(packet);
  }
}

void TCustomFFmpegHlpr::EncodeAudio(AVFormatContext* os, OutputStream& ost, InputStream& ist,
                                    const uint8_t* data, int size) {
  AVCodecContext* enc = ost.Encoder;
  const int encChannels = enc->ch_layout.nb_channels;
  const int decChannels = ist.DecodedChannels;
  const int decRate = ist.DecodedRate;
  if (encChannels <= 0 || decChannels <= 0 || decRate <= 0 || ost.EncoderDrained) return;
  if (AudioFrameBuffer.size() < AudioFrameBufferSize) AudioFrameBuffer.resize(AudioFrameBufferSize);

  if (encChannels != decChannels || enc->sample_rate != decRate) ost.AudioResample = 1;
  if (ost.AudioResample &&
      (!ost.Resample || ost.ResampleInRate != decRate || ost.ResampleInChannels != decChannels)) {
    SWR.swr_free(&ost.Resample);
    ost.Resample = MakeResampler(encChannels, enc->sample_rate, decChannels, decRate);
    if (!ost.Resample)
      RaiseFFMpeg("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", decChannels,
                  decRate, encChannels, enc->sample_rate);
    ost.ResampleInRate = decRate;
    ost.ResampleInChannels = decChannels;
  }

  const int bytesPerSample = 2 * encChannels;
  ost.SyncOpts = std::llrint(SyncInputTime(ost) * enc->sample_rate) -
                 static_cast<int64_t>(AVU.av_fifo_can_read(ost.Fifo) / bytesPerSample);

  const uint8_t* block = data;
  size_t blockSize = size;
  if (ost.AudioResample) {
    const int inSamples = size / (2 * decChannels);
    const int64_t delay = SWR.swr_get_delay(ost.Resample, decRate);
    const int64_t capacity =
        (delay + inSamples) * enc->sample_rate / decRate + 64;  // room for the filter's rounding
    const size_t needed = static_cast<size_t>(capacity) * bytesPerSample;
    if (AudioFrameBuffer.size() < needed) AudioFrameBuffer.resize(needed);
    uint8_t* out[1] = {AudioFrameBuffer.data()};
    const uint8_t* in[1] = {data};
    const int n = SWR.swr_convert(ost.Resample, out, static_cast<int>(capacity), in, inSamples);
    if (n < 0) return;
    block = AudioFrameBuffer.data();
    blockSize = static_cast<size_t>(n) * bytesPerSample;
  }

  if (enc->frame_size > 1) {
    if (AVU.av_fifo_can_write(ost.Fifo) < blockSize &&
        AVU.av_fifo_grow2(ost.Fifo, blockSize - AVU.av_fifo_can_write(ost.Fifo)) < 0)
      return;
    AVU.av_fifo_write(ost.Fifo, block, blockSize);
    const size_t frameBytes = static_cast<size_t>(enc->frame_size) * bytesPerSample;
    if (AudioFrameBuffer.size() < frameBytes) AudioFrameBuffer.resize(frameBytes);
    while (AVU.av_fifo_can_read(ost.Fifo) >= frameBytes) {
      AVU.av_fifo_read(ost.Fifo, AudioFrameBuffer.data(), frameBytes);
      EncodeAudioFrame(os, ost, AudioFrameBuffer.data(), enc->frame_size);
      ost.SyncOpts += enc->frame_size;
    }
    return;
  }

  // Encoders without a fixed frame size (raw PCM) take the block as it is.
  const int samples = static_cast<int>(blockSize / bytesPerSample);
  if (samples <= 0) return;
  EncodeAudioFrame(os, ost, block, samples);
  ost.SyncOpts += samples;
}

void TCustomFFmpegHlpr::FlushAudioEncoder(AVFormatContext* os, OutputStream& ost) {
  AVCodecContext* enc = ost.Encoder;
  if (ost.EncoderDrained) return;
  const bool framed = enc->frame_size > 1;
  const bool delayed = enc->codec && (enc->codec->capabilities & AV_CODEC_CAP_DELAY);
  if (!framed && !delayed) return;
  if (framed) {
    // The samples short of a whole frame go out as a short last frame when
    // the encoder accepts one; otherwise they are dropped.
    const int bytesPerSample = 2 * enc->ch_layout.nb_channels;
    const size_t left = AVU.av_fifo_can_read(ost.Fifo);
    const int caps = enc->codec ? enc->codec->capabilities : 0;
    if (left > 0 && (caps & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE))) {
      if (AudioFrameBuffer.size() < left) AudioFrameBuffer.resize(left);
      AVU.av_fifo_read(ost.Fifo, AudioFrameBuffer.data(), left);
      EncodeAudioFrame(os, ost, AudioFrameBuffer.data(), static_cast<int>(left / bytesPerSample));
    }
  }
  EncodeAudioFrame(os, ost, nullptr, 0);
}
