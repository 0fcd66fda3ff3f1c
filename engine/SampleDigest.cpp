#include "engine/SampleDigest.h"

#include <cstring>

#include "medialib/AVUtilHlpr.h"

namespace {

uint32_t TopAligned(const uint8_t* at, AVSampleFormat packed) {
  switch (packed) {
    case AV_SAMPLE_FMT_U8: return static_cast<uint32_t>(*at ^ 0x80) << 24;
    case AV_SAMPLE_FMT_S16: {
      int16_t value;
      std::memcpy(&value, at, sizeof value);
      return static_cast<uint32_t>(static_cast<uint16_t>(value)) << 16;
    }
    case AV_SAMPLE_FMT_S64:
    case AV_SAMPLE_FMT_DBL: {
      uint64_t value;
      std::memcpy(&value, at, sizeof value);
      return static_cast<uint32_t>(value >> 32) ^ static_cast<uint32_t>(value);
    }
    default: {  // S32, FLT
      uint32_t value;
      std::memcpy(&value, at, sizeof value);
      return value;
    }
  }
}

}  // namespace

void SampleDigest::Add(const AVFrame& frame, int samples, int bits) {
  const AVSampleFormat format = static_cast<AVSampleFormat>(frame.format);
  const AVSampleFormat packed = AVU.av_get_packed_sample_fmt(format);
  const bool planar = AVU.av_sample_fmt_is_planar(format);
  const int size = AVU.av_get_bytes_per_sample(format);
  const int channels = frame.ch_layout.nb_channels;
  if (size <= 0 || channels <= 0 || samples <= 0) return;
  const bool integer = packed != AV_SAMPLE_FMT_FLT && packed != AV_SAMPLE_FMT_DBL;
  const uint32_t mask = integer && bits > 0 && bits < 32 ? ~0u << (32 - bits) : ~0u;
  for (int i = 0; i < samples; ++i)
    for (int c = 0; c < channels; ++c) {
      const uint8_t* at = planar ? frame.extended_data[c] + static_cast<size_t>(i) * size
                                 : frame.extended_data[0] +
                                       (static_cast<size_t>(i) * channels + c) * size;
      Hash = (Hash ^ (TopAligned(at, packed) & mask)) * 1099511628211ull;
    }
  Count += samples;
}
