// Target presets: everything Video CD, Super Video CD, DVD and DV need, in
// one call, through the setters and a few direct field writes.
#include <cmath>

#include "engine/FFmpegHlpr.h"

namespace {

enum Norm { PalNorm = 0, NtscNorm = 1, FilmNorm = 2 };

// Frames per 1000 seconds, rounded half to even; 0 when there is no rate.
int64_t MilliFrameRate(int64_t num, int64_t den) {
  if (den == 0) return 0;
  return static_cast<int64_t>(std::nearbyintl(static_cast<long double>(num) * 1000 / den));
}

// The norm a rate belongs to, or -1.
int NormOfRate(int64_t milliRate) {
  if (milliRate == 25000) return PalNorm;
  if (milliRate == 29970 || milliRate == 23976) return NtscNorm;
  return -1;
}

}  // namespace

int TCustomFFmpegHlpr::TargetNorm(const std::string& norm, const std::string& fallbackNorm) {
  int chosen;
  if (norm == "pal") {
    chosen = PalNorm;
  } else if (norm == "ntsc") {
    chosen = NtscNorm;
  } else if (norm == "film") {
    chosen = FilmNorm;
  } else {
    if (FrameRate.den == 0) throw FFMpegException("frame_rate is invalid.");
    chosen = NormOfRate(MilliFrameRate(FrameRate.num, FrameRate.den));
    // Then the frame rate of the opened inputs' video streams.
    for (int i = 0; chosen < 0 && i < InputFileCount; ++i) {
      const AVFormatContext* input = InputFiles[i].get();
      if (!input) continue;
      for (unsigned s = 0; chosen < 0 && s < input->nb_streams; ++s) {
        const AVStream* stream = input->streams[s];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        const AVRational rate = stream->avg_frame_rate;
        if (rate.den != 0) chosen = NormOfRate(MilliFrameRate(rate.num, rate.den));
      }
    }
    if (chosen < 0) chosen = fallbackNorm == "film" ? FilmNorm : fallbackNorm == "ntsc" ? NtscNorm : PalNorm;
    if (Verbose > 0) LogF(1, "Assuming %s for target.", chosen == PalNorm ? "PAL" : "NTSC");
  }
  return chosen;
}

void TCustomFFmpegHlpr::SetTarget(const std::string& target, const std::string& norm,
                                  const std::string& fallbackNorm) {
  const int chosen = TargetNorm(norm, fallbackNorm);
  const bool pal = chosen == PalNorm;
  const char* rate = pal ? "25" : chosen == NtscNorm ? "30000/1001" : "24000/1001";
  const char* gop = pal ? "15" : "18";

  if (target == "vcd") {
    SetVideoCodec("mpeg1video");
    SetAudioCodec("mp2");
    SetOutputFormat("vcd");
    SetFrameSize(pal ? "352x288" : "352x240");
    SetFrameRate(rate);
    SetLibraryOption("gop", gop);
    SetLibraryOption("b", "1150000");
    SetLibraryOption("maxrate", "1150000");
    SetLibraryOption("minrate", "1150000");
    SetLibraryOption("bufsize", "327680");
    SetLibraryOption("ab", "224000");
    AudioSampleRate = 44100;
    AudioChannels = 2;
    SetLibraryOption("packetsize", "2324");
    SetLibraryOption("muxrate", "1411200");
    MuxPreload = 0.44f;
    if (FrameAspectRatio == 0) SetAspectRatio("4:3");
  } else if (target == "svcd") {
    SetVideoCodec("mpeg2video");
    SetAudioCodec("mp2");
    SetOutputFormat("svcd");
    SetFrameSize(pal ? "480x576" : "480x480");
    SetFrameRate(rate);
    SetLibraryOption("gop", gop);
    SetLibraryOption("b", "2040000");
    SetLibraryOption("maxrate", "2516000");
    SetLibraryOption("minrate", "0");
    SetLibraryOption("bufsize", "1835008");
    SetLibraryOption("flags", "+SCAN_OFFSET");
    SetLibraryOption("ab", "224000");
    AudioSampleRate = 44100;
    SetLibraryOption("packetsize", "2324");
    if (AudioChannels == 1) AudioChannels = 2;
    if (FrameAspectRatio == 0) SetAspectRatio("4:3");
  } else if (target == "dvd") {
    SetVideoCodec("mpeg2video");
    SetAudioCodec("ac3");
    SetOutputFormat("dvd");
    SetFrameSize(pal ? "720x576" : "720x480");
    SetFrameRate(rate);
    SetLibraryOption("gop", gop);
    SetLibraryOption("b", "6000000");
    SetLibraryOption("maxrate", "9000000");
    SetLibraryOption("minrate", "0");
    SetLibraryOption("bufsize", "1835008");
    SetLibraryOption("packetsize", "2048");
    SetLibraryOption("muxrate", "10080000");
    SetLibraryOption("ab", "448000");
    AudioSampleRate = 48000;
    if (AudioChannels == 1) AudioChannels = 2;
    if (FrameAspectRatio == 0) SetAspectRatio("16:9");
  } else if (target == "dv" || target == "dv50") {
    SetOutputFormat("dv");
    SetFrameSize(pal ? "720x576" : "720x480");
    SetPixelFormat(target == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
    SetFrameRate(rate);
    AudioSampleRate = 48000;
    AudioChannels = 2;
  } else {
    throw FFMpegException("Unknown target type");
  }
}
