#include "converter/OutputPresets.h"

#include <algorithm>
#include <cctype>

namespace {

// The quality scale of libmp3lame's VBR and libvorbis: the encoder reads
// global_quality in lambda units (FF_QP2LAMBDA per step).
constexpr int LambdaPerStep = 118;

const std::vector<FormatDescription> Formats = {
    {OutputFormat::Mp3, "mp3", ".mp3", "MP3  (*.mp3)", QualityKind::BitrateOrLevel, 64, 320, 128, 0,
     9, -1, "VBR level V0 (best) to V9", 0},
    {OutputFormat::Ogg, "ogg", ".ogg", "Ogg Vorbis  (*.ogg)", QualityKind::Level, 0, 0, 0, 0, 10, 5,
     "Vorbis quality 0 to 10", 0},
    {OutputFormat::Opus, "opus", ".opus", "Opus  (*.opus)", QualityKind::Bitrate, 6, 510, 128, -1,
     -1, -1, "", 48000},
    {OutputFormat::M4a, "m4a", ".m4a", "AAC  (*.m4a)", QualityKind::Bitrate, 32, 320, 192, -1, -1,
     -1, "", 0},
    {OutputFormat::Flac, "flac", ".flac", "FLAC  (*.flac)", QualityKind::Level, 0, 0, 0, 0, 12, 5,
     "compression level 0 to 12", 0},
    {OutputFormat::Wav, "wav", ".wav", "WAV  (*.wav)", QualityKind::Level, 0, 0, 0, 16, 24, 16,
     "bits per sample, 16 or 24", 0},
};

// Bit rates of MPEG-1 layer III at 32 kHz and above.
const int Mp3Bitrates[] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int Mp3Rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
const int AacRates[] = {8000,  11025, 12000, 16000, 22050, 24000,
                        32000, 44100, 48000, 64000, 88200, 96000};

template <std::size_t N>
bool OneOf(int value, const int (&list)[N]) {
  return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

template <std::size_t N>
std::string ListText(const int (&list)[N]) {
  std::string text;
  for (int value : list) text += (text.empty() ? "" : ", ") + std::to_string(value);
  return text;
}

std::string RateProblem(const FormatDescription& d, int rate) {
  const std::string name = d.Label;
  const std::string shortName = name.substr(0, name.find("  "));
  if (d.FixedRate) {
    if (rate == d.FixedRate) return {};
    return shortName + " is always " + std::to_string(d.FixedRate) + " Hz; " +
           std::to_string(rate) + " Hz cannot be chosen";
  }
  switch (d.Format) {
    case OutputFormat::Mp3:
      if (OneOf(rate, Mp3Rates)) return {};
      return "MP3 takes " + ListText(Mp3Rates) + " Hz, not " + std::to_string(rate);
    case OutputFormat::M4a:
      if (OneOf(rate, AacRates)) return {};
      return "AAC takes " + ListText(AacRates) + " Hz, not " + std::to_string(rate);
    default:
      if (rate >= 8000 && rate <= 384000) return {};
      return shortName + " takes 8000 to 384000 Hz, not " + std::to_string(rate);
  }
}

}  // namespace

const std::vector<FormatDescription>& OutputFormats() { return Formats; }

const FormatDescription& Describe(OutputFormat format) {
  for (const FormatDescription& d : Formats)
    if (d.Format == format) return d;
  return Formats.front();
}

bool FormatByName(const std::string& name, OutputFormat& format) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const FormatDescription& d : Formats) {
    if (lower == d.Name) {
      format = d.Format;
      return true;
    }
  }
  return false;
}

OutputChoice DefaultChoice(OutputFormat format) {
  const FormatDescription& d = Describe(format);
  OutputChoice choice;
  choice.Format = format;
  if (format == OutputFormat::Mp3) {
    choice.Bitrate = d.DefaultBitrate;
    choice.SampleRate = 44100;
    choice.Channels = 2;
  } else if (d.Quality == QualityKind::Bitrate) {
    choice.Bitrate = d.DefaultBitrate;
  } else {
    choice.Level = d.DefaultLevel;
  }
  choice.SampleRate = d.FixedRate ? d.FixedRate : choice.SampleRate;
  return choice;
}

std::string CheckChoice(const OutputChoice& c) {
  const FormatDescription& d = Describe(c.Format);
  const std::string name = std::string(d.Label).substr(0, std::string(d.Label).find("  "));
  if (c.Bitrate != 0) {
    if (d.Quality == QualityKind::Level)
      return name + " has no bit rate to choose; its quality is the " + d.LevelMeaning;
    if (c.Format == OutputFormat::Mp3 && !OneOf(c.Bitrate, Mp3Bitrates))
      return "MP3 takes " + ListText(Mp3Bitrates) + " kbit/s, not " + std::to_string(c.Bitrate);
    if (c.Bitrate < d.MinBitrate || c.Bitrate > d.MaxBitrate)
      return name + " takes " + std::to_string(d.MinBitrate) + " to " +
             std::to_string(d.MaxBitrate) + " kbit/s, not " + std::to_string(c.Bitrate);
  }
  if (c.Level != -1) {
    if (d.Quality == QualityKind::Bitrate)
      return name + " has no quality level to choose; choose its bit rate";
    const bool wavBits = c.Format == OutputFormat::Wav;
    if (wavBits ? (c.Level != 16 && c.Level != 24) : (c.Level < d.MinLevel || c.Level > d.MaxLevel))
      return name + " quality is the " + d.LevelMeaning + ", not " + std::to_string(c.Level);
  }
  if (c.Bitrate != 0 && c.Level != -1)
    return name + " is either a constant bit rate or a VBR level, not both";
  if (c.SampleRate != KeepSource) {
    if (const std::string problem = RateProblem(d, c.SampleRate); !problem.empty()) return problem;
  }
  if (c.Channels != KeepSource && c.Channels != 1 && c.Channels != 2)
    return "channels are 1, 2 or keep, not " + std::to_string(c.Channels);
  return {};
}

void FillOutputOptions(const OutputChoice& c, TOutputOptions& options) {
  const FormatDescription& d = Describe(c.Format);
  options.FileExt = d.Extension;
  options.DisableVideo = -1;
  options.DisableSubtitle = -1;
  options.AudioBitrate = c.Bitrate > 0 ? c.Bitrate * 1000 : -1;
  options.AudioSampleRate = d.FixedRate ? d.FixedRate : c.SampleRate > 0 ? c.SampleRate : -1;
  options.AudioChannels = c.Channels > 0 ? c.Channels : -1;
  std::string lines;
  switch (c.Format) {
    case OutputFormat::Mp3:
      options.AudioCodec = "libmp3lame";
      if (c.Level >= 0 && c.Bitrate <= 0)
        lines = "flags=+qscale\nglobal_quality=" + std::to_string(c.Level * LambdaPerStep);
      break;
    case OutputFormat::Ogg:
      options.AudioCodec = "libvorbis";
      lines = "flags=+qscale\nglobal_quality=" +
              std::to_string((c.Level >= 0 ? c.Level : d.DefaultLevel) * LambdaPerStep);
      break;
    case OutputFormat::Opus:
      options.AudioCodec = "libopus";
      break;
    case OutputFormat::M4a:
      options.AudioCodec = "aac";
      break;
    case OutputFormat::Flac:
      options.AudioCodec = "flac";
      lines = "compression_level=" + std::to_string(c.Level >= 0 ? c.Level : d.DefaultLevel);
      break;
    case OutputFormat::Wav:
      options.AudioCodec = c.Level == 24 ? "pcm_s24le" : "pcm_s16le";
      break;
  }
  if (!lines.empty())
    options.ExtraOptions =
        options.ExtraOptions.empty() ? lines : options.ExtraOptions + "\n" + lines;
}

TInputOptions InputOptionsFor(const std::string& fileName) {
  TInputOptions input;
  input.FileName = fileName;
  const std::size_t slash = fileName.rfind('/');
  const std::size_t dot = fileName.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    std::string extension = fileName.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".dat") input.ForceFormat = "mpeg";
  }
  return input;
}

std::string LibraryFolderOf(const std::string& programFolder) { return programFolder + "/Lib"; }

bool FillVideoTarget(const std::string& target, TOutputOptions& options) {
  static const struct {
    const char* Prefix;
    int Norm;
  } Norms[] = {{"pal-", 1}, {"ntsc-", 2}, {"film-", 3}, {"", 0}};
  static const struct {
    const char* Name;
    int Type;
    const char* Extension;
  } Targets[] = {{"vcd", 1, ".mpg"}, {"svcd", 2, ".mpg"}, {"dvd", 3, ".mpg"}, {"dv", 4, ".dv"}};
  for (const auto& norm : Norms) {
    const std::string prefix = norm.Prefix;
    if (target.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = target.substr(prefix.size());
    for (const auto& t : Targets) {
      if (rest != t.Name) continue;
      options.TargetType = t.Type;
      options.TargetNorm = norm.Norm;
      options.FileExt = t.Extension;
      return true;
    }
    return false;
  }
  return false;
}
