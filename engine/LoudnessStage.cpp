// The loudness plan of a run: the decode-only pre-pass over the source, the
// normalisation gain and the tags, decided before any header is written.
#include <cmath>

#include "engine/FFmpegHlpr.h"
#include "engine/LoudnessPlan.h"
#include "engine/LoudnessPrepass.h"
#include "medialib/AVUtilHlpr.h"

void TCustomFFmpegHlpr::PlanLoudness() {
  LoudnessGainDb = 0;
  for (TagSet& tags : OutputLoudnessTags) tags.clear();
  if ((!ReplayGainTags && NormalizeLufs == 0) || InputFileCount == 0) return;
  LoudnessMeter meter;
  const std::string failure =
      MeasureFileLoudness(InputFiles[0]->url, *CodecLock, StopRequested, meter);
  if (!failure.empty()) throw FFMpegException("loudness measurement failed: " + failure);
  if (StopRequested) return;
  LoudnessFigures figures = meter.Figures();
  const std::string name = InputFiles[0]->url;
  if (!figures.Measured) {
    Log(1, name + ": silent; no loudness gain or tags");
    return;
  }
  if (NormalizeLufs != 0) {
    const NormalizationGain gain = GainForTarget(figures, NormalizeLufs);
    LoudnessGainDb = gain.GainDb;
    figures = WithGain(figures, gain.GainDb);
    if (gain.PeakLimited)
      LogF(1,
           "%s: normalised by %+.2f dB to %.1f LUFS, short of %.1f LUFS: the true peak is held at "
           "%.1f dBTP",
           name.c_str(), gain.GainDb, figures.Integrated, NormalizeLufs, NormalizePeakCeiling);
    else
      LogF(1, "%s: normalised by %+.2f dB to %.1f LUFS", name.c_str(), gain.GainDb,
           figures.Integrated);
  }
  if (!ReplayGainTags) return;
  for (int f = 0; f < OutputFileCount; ++f) {
    AVFormatContext* output = OutputFiles[f].get();
    const AVStream* audio = nullptr;
    for (unsigned i = 0; i < output->nb_streams && !audio; ++i)
      if (output->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
        audio = output->streams[i];
    if (!audio) continue;
    const bool opus = audio->codecpar->codec_id == AV_CODEC_ID_OPUS;
    // In the header for the muxers that keep their own tags, and for the tag
    // rewrite (RewriteOutputTags), which would otherwise set the source's.
    for (const auto& [key, value] : LoudnessTags(figures, {}, opus)) {
      AVU.av_dict_set(&output->metadata, key.c_str(), value.c_str(), 0);
      OutputLoudnessTags[f][key] = {value};
    }
  }
}
