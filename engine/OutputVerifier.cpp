#include "engine/OutputVerifier.h"

#include <cstdlib>

#include "engine/LibraryError.h"
#include "engine/LocalFileNames.h"
#include "engine/SampleDigest.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"

namespace {

constexpr const char* Failed = "verification failed: ";

struct DecodeCount {
  int64_t Samples = 0;
  SampleDigest Digest;
};

// Every frame the decoder has ready; the decoder's error, else 0.
int TakeFrames(AVCodecContext* decoder, AVFrame* frame, DecodeCount& count, bool digest) {
  for (;;) {
    const int received = AVC.avcodec_receive_frame(decoder, frame);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return 0;
    if (received < 0) return received;
    count.Samples += frame->nb_samples;
    if (digest) count.Digest.Add(*frame, frame->nb_samples, decoder->bits_per_raw_sample);
    AVU.av_frame_unref(frame);
  }
}

}  // namespace

bool IsLosslessCodec(AVCodecID codec) {
  switch (codec) {
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S24BE:
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_S32BE:
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F64LE: return true;
    default: return false;
  }
}

int64_t FrameAllowance(const AVCodecContext& encoder) {
  // libvorbis takes frames of 64 samples but codes blocks of up to 2048.
  if (encoder.codec_id == AV_CODEC_ID_VORBIS) return 2048;
  return encoder.frame_size > 0 ? encoder.frame_size : 0;
}

std::string VerifyOutput(const std::string& path, const std::string& name,
                         const VerificationExpectation& expected, std::mutex& codecLock) {
  MediaObjects::Dictionary options;
  AVU.av_dict_set(options.Address(), "protocol_whitelist", "file", 0);
  AVFormatContext* opened = nullptr;
  int status =
      AVF.avformat_open_input(&opened, LocalFileUrl(path).c_str(), nullptr, options.Address());
  if (status < 0) return Failed + LibraryCallError("avformat_open_input", status, name);
  const MediaObjects::InputPtr input(opened);
  if ((status = AVF.avformat_find_stream_info(input.get(), nullptr)) < 0)
    return Failed + LibraryCallError("avformat_find_stream_info", status, name);
  int audio = -1;
  for (unsigned i = 0; i < input->nb_streams && audio < 0; ++i)
    if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audio = static_cast<int>(i);
  if (audio < 0) return std::string(Failed) + name + " holds no audio stream";

  const AVCodecParameters* parameters = input->streams[audio]->codecpar;
  const AVCodec* codec = AVC.avcodec_find_decoder(parameters->codec_id);
  if (!codec) return std::string(Failed) + name + ": no decoder for its audio";
  MediaObjects::CodecContextPtr decoder(AVC.avcodec_alloc_context3(codec));
  if (!decoder) return Failed + LibraryCallError("avcodec_alloc_context3", AVERROR(ENOMEM), name);
  if ((status = AVC.avcodec_parameters_to_context(decoder.get(), parameters)) < 0)
    return Failed + LibraryCallError("avcodec_parameters_to_context", status, name);
  decoder->pkt_timebase = input->streams[audio]->time_base;
  {
    std::lock_guard<std::mutex> lock(codecLock);
    status = AVC.avcodec_open2(decoder.get(), codec, nullptr);
  }
  if (status < 0) return Failed + LibraryCallError("avcodec_open2", status, name);

  const MediaObjects::PacketPtr packet(AVC.av_packet_alloc());
  const MediaObjects::FramePtr frame(AVU.av_frame_alloc());
  if (!packet || !frame) return Failed + LibraryCallError("av_frame_alloc", AVERROR(ENOMEM), name);
  DecodeCount count;
  for (;;) {
    status = AVF.av_read_frame(input.get(), packet.get());
    if (status == AVERROR_EOF) break;
    if (status < 0) return Failed + LibraryCallError("av_read_frame", status, name);
    if (packet->stream_index != audio) {
      AVC.av_packet_unref(packet.get());
      continue;
    }
    const bool corrupt = packet->flags & AV_PKT_FLAG_CORRUPT;
    status = AVC.avcodec_send_packet(decoder.get(), packet.get());
    AVC.av_packet_unref(packet.get());
    if (corrupt) return std::string(Failed) + name + ": a damaged packet";
    if (status < 0) return Failed + LibraryCallError("avcodec_send_packet", status, name);
    if ((status = TakeFrames(decoder.get(), frame.get(), count, expected.Lossless)) < 0)
      return Failed + LibraryCallError("avcodec_receive_frame", status, name);
  }
  if ((status = AVC.avcodec_send_packet(decoder.get(), nullptr)) < 0)
    return Failed + LibraryCallError("avcodec_send_packet", status, name);
  if ((status = TakeFrames(decoder.get(), frame.get(), count, expected.Lossless)) < 0)
    return Failed + LibraryCallError("avcodec_receive_frame", status, name);

  if (std::llabs(count.Samples - expected.Samples) > expected.Allowance)
    return std::string(Failed) + name + " decodes to " + std::to_string(count.Samples) +
           " samples; " + std::to_string(expected.Samples) + " were encoded";
  if (expected.Lossless && count.Digest.Value() != expected.Digest)
    return std::string(Failed) + name + " does not decode to the samples that were encoded";
  return {};
}
