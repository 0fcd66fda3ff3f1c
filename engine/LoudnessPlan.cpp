#include "engine/LoudnessPlan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Decibels(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", value);
  return text;
}

std::string LinearPeak(double dbtp) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", std::isfinite(dbtp) ? std::pow(10.0, dbtp / 20) : 0.0);
  return text;
}

// Q7.8 fixed point, as a signed 16-bit number.
std::string Q78(double db) {
  const long value = std::clamp(std::lround(db * 256), -32768L, 32767L);
  return std::to_string(value);
}

}  // namespace

NormalizationGain GainForTarget(const LoudnessFigures& figures, double targetLufs,
                                double ceilingDb) {
  NormalizationGain gain;
  if (!figures.Measured) return gain;
  gain.GainDb = targetLufs - figures.Integrated;
  if (std::isfinite(figures.TruePeak) && figures.TruePeak + gain.GainDb > ceilingDb) {
    gain.GainDb = ceilingDb - figures.TruePeak;
    gain.PeakLimited = true;
  }
  return gain;
}

LoudnessFigures WithGain(const LoudnessFigures& figures, double gainDb) {
  LoudnessFigures changed = figures;
  changed.Integrated += gainDb;
  changed.TruePeak += gainDb;
  return changed;
}

std::map<std::string, std::string> LoudnessTags(const LoudnessFigures& track,
                                                const LoudnessFigures& album, bool opus) {
  std::map<std::string, std::string> tags;
  if (opus) {
    if (track.Measured) tags["R128_TRACK_GAIN"] = Q78(R128Reference - track.Integrated);
    if (album.Measured) tags["R128_ALBUM_GAIN"] = Q78(R128Reference - album.Integrated);
    return tags;
  }
  if (track.Measured) {
    tags["REPLAYGAIN_TRACK_GAIN"] = Decibels(ReplayGainReference - track.Integrated);
    tags["REPLAYGAIN_TRACK_PEAK"] = LinearPeak(track.TruePeak);
  }
  if (album.Measured) {
    tags["REPLAYGAIN_ALBUM_GAIN"] = Decibels(ReplayGainReference - album.Integrated);
    tags["REPLAYGAIN_ALBUM_PEAK"] = LinearPeak(album.TruePeak);
  }
  return tags;
}
