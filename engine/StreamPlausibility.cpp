#include "engine/StreamPlausibility.h"

#include <cstring>

#include "medialib/AVUtilHlpr.h"

namespace {

const char* const Damaged = " is not plausible; the header is probably damaged";

// FLAC's STREAMINFO block sizes, from the stream's extradata (the bare
// 34-byte block, or the file's "fLaC" marker and block header before it).
struct FlacBlockSizes {
  int minimum = 0, maximum = 0;
};

bool ReadFlacBlockSizes(const AVCodecParameters& parameters, FlacBlockSizes& sizes) {
  if (parameters.codec_id != AV_CODEC_ID_FLAC || !parameters.extradata) return false;
  const uint8_t* info = parameters.extradata;
  int size = parameters.extradata_size;
  if (size >= 42 && std::memcmp(info, "fLaC", 4) == 0) {
    info += 8;
    size -= 8;
  }
  if (size < 34) return false;
  sizes.minimum = info[0] << 8 | info[1];
  sizes.maximum = info[2] << 8 | info[3];
  return true;
}

}  // namespace

std::string ImplausibleAudioShape(int sampleRate, int channels) {
  if (sampleRate < MinPlausibleSampleRate || sampleRate > MaxPlausibleSampleRate)
    return "sample rate of " + std::to_string(sampleRate) + " Hz" + Damaged;
  if (channels <= 0 || channels > MaxPlausibleChannels)
    return "channel count of " + std::to_string(channels) + Damaged;
  return {};
}

std::string ImplausibleAudioStream(const AVCodecParameters& parameters) {
  // A rate of 0 is not known yet (a file too short to probe); the decoded
  // frames are judged then, and a file that gives none fails for that.
  std::string problem =
      parameters.sample_rate == 0
          ? std::string()
          : ImplausibleAudioShape(parameters.sample_rate, parameters.ch_layout.nb_channels);
  FlacBlockSizes sizes;
  // FLAC blocks hold 16 to 65535 samples; a maximum below the minimum or
  // below 16 is a damaged header.
  if (problem.empty() && ReadFlacBlockSizes(parameters, sizes) &&
      (sizes.maximum < 16 || sizes.maximum < sizes.minimum))
    problem = "maximum block size of " + std::to_string(sizes.maximum) + " samples" + Damaged;
  return problem;
}

std::string RefusedBlockSize(const AVCodecParameters& parameters, AVRational timeBase,
                             const AVPacket& packet) {
  FlacBlockSizes sizes;
  if (!ReadFlacBlockSizes(parameters, sizes) || packet.duration <= 0 || parameters.sample_rate <= 0)
    return {};
  // The demuxer's parser has read the block's own header: its duration, in
  // samples, is the block size.
  const int64_t samples =
      AVU.av_rescale_q(packet.duration, timeBase, AVRational{1, parameters.sample_rate});
  if (samples <= sizes.maximum) return {};
  return "block size of " + std::to_string(samples) + " samples is more than the maximum of " +
         std::to_string(sizes.maximum) + " that the header states; the header is probably damaged";
}
