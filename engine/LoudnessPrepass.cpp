#include "engine/LoudnessPrepass.h"

#include "engine/LibraryError.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"

std::string MeasureFileLoudness(const std::string& url, std::mutex& codecLock,
                                const std::atomic<bool>& stop, LoudnessMeter& meter) {
  MediaObjects::Dictionary options;
  AVU.av_dict_set(options.Address(), "protocol_whitelist", "file", 0);
  AVFormatContext* opened = nullptr;
  int status = AVF.avformat_open_input(&opened, url.c_str(), nullptr, options.Address());
  if (status < 0) return LibraryCallError("avformat_open_input", status, url);
  const MediaObjects::InputPtr input(opened);
  if ((status = AVF.avformat_find_stream_info(input.get(), nullptr)) < 0)
    return LibraryCallError("avformat_find_stream_info", status, url);
  int audio = -1;
  for (unsigned i = 0; i < input->nb_streams && audio < 0; ++i)
    if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audio = static_cast<int>(i);
  if (audio < 0) return url + ": no audio stream";
  const AVCodecParameters* parameters = input->streams[audio]->codecpar;
  const AVCodec* codec = AVC.avcodec_find_decoder(parameters->codec_id);
  if (!codec) return url + ": no decoder for its audio";
  MediaObjects::CodecContextPtr decoder(AVC.avcodec_alloc_context3(codec));
  if (!decoder) return LibraryCallError("avcodec_alloc_context3", AVERROR(ENOMEM), url);
  if ((status = AVC.avcodec_parameters_to_context(decoder.get(), parameters)) < 0)
    return LibraryCallError("avcodec_parameters_to_context", status, url);
  decoder->pkt_timebase = input->streams[audio]->time_base;
  {
    std::lock_guard<std::mutex> lock(codecLock);
    status = AVC.avcodec_open2(decoder.get(), codec, nullptr);
  }
  if (status < 0) return LibraryCallError("avcodec_open2", status, url);

  const MediaObjects::PacketPtr packet(AVC.av_packet_alloc());
  const MediaObjects::FramePtr frame(AVU.av_frame_alloc());
  if (!packet || !frame) return LibraryCallError("av_frame_alloc", AVERROR(ENOMEM), url);
  auto takeFrames = [&] {
    while (AVC.avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      meter.Add(*frame);
      AVU.av_frame_unref(frame.get());
    }
  };
  while (!stop) {
    status = AVF.av_read_frame(input.get(), packet.get());
    if (status < 0) break;  // the end, or as far as the conversion will read
    if (packet->stream_index == audio && AVC.avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      takeFrames();
    AVC.av_packet_unref(packet.get());
  }
  if (!stop && AVC.avcodec_send_packet(decoder.get(), nullptr) >= 0) takeFrames();
  return {};
}
