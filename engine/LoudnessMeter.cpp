#include "engine/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "medialib/AVUtilHlpr.h"

namespace {

// BS.1770's weighting of a channel: surrounds count 1.41 times, the LFE
// not at all, unknown ones as front channels.
int ChannelWeight(const AVChannelLayout& layout, int index, int channels) {
  const AVChannel channel = layout.order == AV_CHANNEL_ORDER_NATIVE
                                ? AVU.av_channel_layout_channel_from_index(&layout, index)
                                : AV_CHAN_NONE;
  switch (channel) {
    case AV_CHAN_FRONT_LEFT: return EBUR128_LEFT;
    case AV_CHAN_FRONT_RIGHT: return EBUR128_RIGHT;
    case AV_CHAN_FRONT_CENTER: return channels == 1 ? EBUR128_LEFT : EBUR128_CENTER;
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2: return EBUR128_UNUSED;
    case AV_CHAN_BACK_LEFT:
    case AV_CHAN_SIDE_LEFT: return EBUR128_LEFT_SURROUND;
    case AV_CHAN_BACK_RIGHT:
    case AV_CHAN_SIDE_RIGHT: return EBUR128_RIGHT_SURROUND;
    default: return EBUR128_LEFT;
  }
}

double SampleValue(const uint8_t* at, AVSampleFormat packed) {
  switch (packed) {
    case AV_SAMPLE_FMT_U8: return (*at - 128) / 128.0;
    case AV_SAMPLE_FMT_S16: {
      int16_t v;
      std::memcpy(&v, at, sizeof v);
      return v / 32768.0;
    }
    case AV_SAMPLE_FMT_S32: {
      int32_t v;
      std::memcpy(&v, at, sizeof v);
      return v / 2147483648.0;
    }
    case AV_SAMPLE_FMT_S64: {
      int64_t v;
      std::memcpy(&v, at, sizeof v);
      return static_cast<double>(v) / 9223372036854775808.0;
    }
    case AV_SAMPLE_FMT_FLT: {
      float v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
    case AV_SAMPLE_FMT_DBL: {
      double v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
    default: return 0;
  }
}

}  // namespace

struct LoudnessMeter::Segment {
  explicit Segment(ebur128_state* made) : State(made) {}
  ~Segment() { ebur128_destroy(&State); }
  Segment(const Segment&) = delete;
  Segment& operator=(const Segment&) = delete;
  ebur128_state* State;
};

LoudnessMeter::LoudnessMeter() = default;
LoudnessMeter::~LoudnessMeter() = default;

bool LoudnessMeter::Fit(const AVFrame& frame) {
  const int channels = frame.ch_layout.nb_channels;
  if (!States.empty() && frame.sample_rate == Rate && channels == Channels) return true;
  ebur128_state* state =
      ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(frame.sample_rate),
                   EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
  if (!state) return false;
  States.push_back(std::make_unique<Segment>(state));
  for (int c = 0; c < channels; ++c)
    ebur128_set_channel(state, static_cast<unsigned>(c),
                        ChannelWeight(frame.ch_layout, c, channels));
  Rate = frame.sample_rate;
  Channels = channels;
  return true;
}

bool LoudnessMeter::Add(const AVFrame& frame, int samples) {
  samples = std::min(samples, frame.nb_samples);
  const int channels = frame.ch_layout.nb_channels;
  if (samples <= 0 || channels <= 0 || frame.sample_rate <= 0 || !Fit(frame)) return false;
  const AVSampleFormat format = static_cast<AVSampleFormat>(frame.format);
  const AVSampleFormat packed = AVU.av_get_packed_sample_fmt(format);
  const bool planar = AVU.av_sample_fmt_is_planar(format);
  const int size = AVU.av_get_bytes_per_sample(format);
  if (size <= 0) return false;
  Interleaved.resize(static_cast<size_t>(samples) * channels);
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < samples; ++i) {
      const uint8_t* at = planar ? frame.extended_data[c] + static_cast<size_t>(i) * size
                                 : frame.extended_data[0] +
                                       (static_cast<size_t>(i) * channels + c) * size;
      Interleaved[static_cast<size_t>(i) * channels + c] = SampleValue(at, packed);
    }
  return ebur128_add_frames_double(States.back()->State, Interleaved.data(),
                                   static_cast<size_t>(samples)) == EBUR128_SUCCESS;
}

LoudnessFigures LoudnessMeter::Figures() const { return Together({this}); }

LoudnessFigures LoudnessMeter::Together(const std::vector<const LoudnessMeter*>& meters) {
  std::vector<ebur128_state*> states;
  double peak = 0;
  for (const LoudnessMeter* meter : meters)
    for (const auto& segment : meter->States) {
      ebur128_state* state = segment->State;
      states.push_back(state);
      for (unsigned c = 0; c < state->channels; ++c) {
        double channelPeak = 0;
        if (ebur128_true_peak(state, c, &channelPeak) == EBUR128_SUCCESS)
          peak = std::max(peak, channelPeak);
      }
    }
  LoudnessFigures figures;
  if (states.empty()) return figures;
  double integrated = 0, range = 0;
  if (ebur128_loudness_global_multiple(states.data(), states.size(), &integrated) !=
          EBUR128_SUCCESS ||
      !std::isfinite(integrated))
    return figures;
  if (ebur128_loudness_range_multiple(states.data(), states.size(), &range) != EBUR128_SUCCESS)
    range = 0;
  figures.Measured = true;
  figures.Integrated = integrated;
  figures.TruePeak = peak > 0 ? 20 * std::log10(peak) : -HUGE_VAL;
  figures.Range = range;
  return figures;
}
