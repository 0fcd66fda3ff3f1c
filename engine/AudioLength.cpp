#include "engine/AudioLength.h"

#include <cstring>

#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"

namespace {

// Demuxers whose audio length comes from a count the file holds, when the
// library did not have to estimate it from the bit rate.
bool CountsItsSamples(const AVFormatContext& input) {
  if (!input.iformat || !input.iformat->name) return false;
  if (input.duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return false;
  const char* name = input.iformat->name;
  for (const char* counted : {"wav", "aiff", "au", "flac", "mp3"})
    if (std::strcmp(name, counted) == 0) return true;
  return std::strncmp(name, "mov,", 4) == 0;
}

// One codec frame, and the encoder delay and padding a decoder trims from
// the stated count (an MP3's LAME tag, an M4A's priming).
int64_t FrameAllowance(const AVCodecParameters& parameters) {
  int64_t frame = parameters.frame_size;
  if (frame <= 0) {
    switch (parameters.codec_id) {
      case AV_CODEC_ID_MP3: frame = 1152; break;
      case AV_CODEC_ID_AAC: frame = 1024; break;
      case AV_CODEC_ID_FLAC: frame = 4608; break;
      case AV_CODEC_ID_ALAC: frame = 4096; break;
      default: frame = 1; break;  // PCM: a sample frame
    }
  }
  // An MP3 decoder also drops its 529-sample delay, and a partial last
  // frame's padding may be as long as a frame.
  const int64_t trimmed = parameters.initial_padding + parameters.trailing_padding +
                          (parameters.codec_id == AV_CODEC_ID_MP3 ? 2 * frame + 529 : 0);
  return frame + trimmed;
}

uint32_t LittleEndian(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The data size a WAV header declares, in samples per channel; -1 when it
// has none. The demuxer trusts a size that runs past the file's end no more
// than the file's size, and so loses the count a cut file still states.
int64_t DeclaredWavSamples(AVFormatContext& input, const AVCodecParameters& parameters) {
  const int blockAlign = parameters.block_align;
  if (!input.pb || blockAlign <= 0) return -1;
  unsigned char header[4096];
  if (AVF.avio_seek(input.pb, 0, SEEK_SET) < 0) return -1;
  const int read = AVF.avio_read(input.pb, header, sizeof header);
  if (read < 12 || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
    return -1;
  for (int at = 12; at + 8 <= read;) {
    const uint32_t size = LittleEndian(header + at + 4);
    if (std::memcmp(header + at, "data", 4) == 0)
      return size == 0xffffffffu ? -1 : static_cast<int64_t>(size) / blockAlign;
    if (size > static_cast<uint32_t>(read)) return -1;
    at += 8 + static_cast<int>(size + (size & 1));
  }
  return -1;
}

}  // namespace

AudioLengthRecord StatedAudioLength(AVFormatContext& input, const AVStream& stream) {
  AudioLengthRecord record;
  const AVCodecParameters& parameters = *stream.codecpar;
  record.SampleRate = parameters.sample_rate;
  if (record.SampleRate <= 0) return record;
  if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0 && stream.time_base.num > 0) {
    record.Stated = AVU.av_rescale_q(stream.duration, stream.time_base, {1, record.SampleRate});
    record.Exact = CountsItsSamples(input);
  } else if (input.duration != AV_NOPTS_VALUE && input.duration > 0) {
    record.Stated = AVU.av_rescale_q(input.duration, AV_TIME_BASE_Q, {1, record.SampleRate});
  }
  if (input.iformat && std::strcmp(input.iformat->name, "wav") == 0)
    if (const int64_t declared = DeclaredWavSamples(input, parameters); declared > record.Stated) {
      record.Stated = declared;
      record.Exact = true;
    }
  record.Allowance = FrameAllowance(parameters);
  return record;
}

bool CutShort(const AudioLengthRecord& record) {
  return record.Exact && record.Stated > 0 && record.Stated - record.Decoded > record.Allowance;
}
