#include "engine/ConverterChoices.h"

#include "engine/LibraryError.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "medialib/SwResampleHlpr.h"

bool ChooseChannelMatrix(SwrContext* converter, const AVChannelLayout& in,
                         const AVChannelLayout& out, double volume, const std::string& where) {
  if (in.nb_channels != 1 || out.nb_channels != 2) return false;
  // One input column per output row.
  const double matrix[2] = {volume, volume};
  const int result = SWR.swr_set_matrix(converter, matrix, 1);
  if (result < 0) RaiseLibraryError("swr_set_matrix", result, where);
  return true;
}

namespace {

void Set(SwrContext* converter, const char* name, const char* value, const std::string& where) {
  const int result = AVU.av_opt_set(converter, name, value, 0);
  if (result < 0) RaiseLibraryError("av_opt_set", result, where);
}

// Whether the library was built with the SoX engine: a build without it
// refuses such a converter only at swr_init, and then keeps its own filter.
bool SoxEngineAvailable() {
  static const bool available = [] {
    SwrContext* made = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (SWR.swr_alloc_set_opts2(&made, &mono, AV_SAMPLE_FMT_FLTP, 44100, &mono, AV_SAMPLE_FMT_FLTP,
                                48000, 0, nullptr) < 0)
      return false;
    const MediaObjects::ResamplerPtr probe(made);
    return AVU.av_opt_set(made, "resampler", "soxr", 0) >= 0 && SWR.swr_init(made) >= 0;
  }();
  return available;
}

}  // namespace

void ChooseResampler(SwrContext* converter, int inRate, int outRate, const std::string& where) {
  if (inRate == outRate || !SoxEngineAvailable()) return;
  Set(converter, "resampler", "soxr", where);
  // 20 bits (the engine's high quality) already leaves a 23 kHz tone at
  // 48 kHz more than 130 dB down at 44.1 kHz; 28 bits costs more and adds
  // nothing a 24-bit output can hold. The passband is the engine's own,
  // flat to 0.91 of the new Nyquist frequency (20 kHz at 44.1 kHz).
  Set(converter, "precision", "20", where);
  Set(converter, "cutoff", "0.91", where);
  // Filtered in floating point: no 16-bit rounding between the filter and
  // the encoder's format, and cheaper than the engine's integer path.
  Set(converter, "internal_sample_fmt", "fltp", where);
}
