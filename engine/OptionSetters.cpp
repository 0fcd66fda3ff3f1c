// The option setters: each ignores a value that means "nothing given", raises
// FFMpegException on a wrong one, and otherwise fills the pending options of
// the next input or output.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "engine/FFmpegHlpr.h"
#include "engine/PixelFormatTable.h"
#include "engine/RegionalNumber.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"

namespace {

constexpr const char* VerticalCropRange =
    "Vertical crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";
constexpr const char* HorizontalCropRange =
    "Horizontal crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

// A decimal integer with optional leading blanks and sign and nothing after;
// 0 for anything else, including values beyond the 32-bit range.
int ReadIntOrZero(const std::string& text) {
  const char* start = text.c_str();
  while (*start == ' ' || *start == '\t') ++start;
  if (*start == '\0') return 0;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(start, &end, 10);
  if (*end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<int>(value);
}

// One step of the BT.601 conversion, as 32-bit arithmetic with a logical
// shift. Only the low 8 bits are kept: they are all the padding uses, and
// they equal those of the arithmetic (signed) shift, so every component ends
// in 0..255 instead of a large number for negative sums.
int PadComponent(int32_t sum, int offset) {
  const uint32_t shifted = static_cast<uint32_t>(sum) >> 10;
  return static_cast<int>((shifted + static_cast<uint32_t>(offset)) & 0xFF);
}

void Crop(int n, int& band, int& dimension, const char* oddMessage, const char* rangeMessage) {
  if (n < 0) return;
  if (n % 2 != 0) throw FFMpegException(oddMessage);
  if (n >= dimension) throw FFMpegException(rangeMessage);
  band = n;
  dimension -= n;
}

void Pad(int n, int& pad, const char* oddMessage) {
  if (n < 0) return;
  if (n % 2 != 0) throw FFMpegException(oddMessage);
  pad = n;
}

}  // namespace

// ---- Formats --------------------------------------------------------------

void TCustomFFmpegHlpr::SetInputFormat(const std::string& name) {
  if (name.empty()) return;
  std::string format = name;
  if (format == "pgmyuv") {
    PgmYuvCompatibility = 1;
    format = "image2";
    Log(1, "pgmyuv format is deprecated, use image2");
  }
  ForcedInputFormat = AVF.av_find_input_format(format.c_str());
  if (!ForcedInputFormat) RaiseFFMpeg("Unknown input format: %s", format.c_str());
}

void TCustomFFmpegHlpr::SetOutputFormat(const std::string& name) {
  if (name.empty()) return;
  std::string format = name;
  if (format == "pgmyuv") {
    PgmYuvCompatibility = 1;
    format = "image2";
    Log(1, "pgmyuv format is deprecated, use image2");
  }
  ForcedOutputFormat = AVF.av_guess_format(format.c_str(), nullptr, nullptr);
  if (!ForcedOutputFormat) RaiseFFMpeg("Unknown output format: %s", format.c_str());
}

// ---- Picture --------------------------------------------------------------

void TCustomFFmpegHlpr::SetFrameRate(const std::string& text) {
  if (text.empty()) return;
  AVRational rate{0, 0};
  if (AVU.av_parse_video_rate(&rate, text.c_str()) < 0) throw FFMpegException("Incorrect frame rate");
  FrameRate = rate;
}

void TCustomFFmpegHlpr::SetFrameSize(const std::string& text) {
  if (text.empty()) return;
  int width = 0, height = 0;
  if (AVU.av_parse_video_size(&width, &height, text.c_str()) < 0)
    throw FFMpegException("Incorrect frame size");
  FrameWidth = width;
  FrameHeight = height;
  if (width % 2 != 0 || height % 2 != 0) throw FFMpegException("Frame size must be a multiple of 2");
}

void TCustomFFmpegHlpr::SetAspectRatio(const std::string& text) {
  if (text.empty()) return;
  double ratio = 0;
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    const int x = ReadIntOrZero(text.substr(0, colon));
    const int y = ReadIntOrZero(text.substr(colon + 1));
    ratio = y > 0 ? static_cast<double>(x) / y : 0;
  } else if (!ReadRegionalReal(text, ratio)) {
    ratio = 0;
  }
  if (ratio == 0) throw FFMpegException("Incorrect aspect ratio specification.");
  FrameAspectRatio = static_cast<float>(ratio);
}

void TCustomFFmpegHlpr::SetPixelFormat(const std::string& name) {
  if (name == "list") {
    if (!LogHook.IsSet()) return;
    for (int i = -1; i < PixelFormatTableRows; ++i) Log(1, PixelFormatTableLine(i));
    return;
  }
  FramePixFmt = AVU.av_get_pix_fmt(name.c_str());
}

void TCustomFFmpegHlpr::SetCropTop(int n) {
  Crop(n, FrameTopBand, FrameHeight, "Top crop size must be a multiple of 2", VerticalCropRange);
}

void TCustomFFmpegHlpr::SetCropBottom(int n) {
  Crop(n, FrameBottomBand, FrameHeight, "Bottom crop size must be a multiple of 2", VerticalCropRange);
}

void TCustomFFmpegHlpr::SetCropLeft(int n) {
  Crop(n, FrameLeftBand, FrameWidth, "Left crop size must be a multiple of 2", HorizontalCropRange);
}

void TCustomFFmpegHlpr::SetCropRight(int n) {
  Crop(n, FrameRightBand, FrameWidth, "Right crop size must be a multiple of 2", HorizontalCropRange);
}

void TCustomFFmpegHlpr::SetPadTop(int n) { Pad(n, FramePadTop, "Top pad size must be a multiple of 2"); }

void TCustomFFmpegHlpr::SetPadBottom(int n) {
  Pad(n, FramePadBottom, "Bottom pad size must be a multiple of 2");
}

void TCustomFFmpegHlpr::SetPadLeft(int n) { Pad(n, FramePadLeft, "Left pad size must be a multiple of 2"); }

void TCustomFFmpegHlpr::SetPadRight(int n) {
  Pad(n, FramePadRight, "Right pad size must be a multiple of 2");
}

void TCustomFFmpegHlpr::SetPadColor(uint32_t colour) {
  const int32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  // BT.601 weights in single precision, times 1024, rounded half to even.
  PadColor[0] = PadComponent(307 * r + 602 * g + 117 * b + 512, 0);
  PadColor[1] = PadComponent(-173 * r - 340 * g + 512 * b + 511, 128);
  PadColor[2] = PadComponent(512 * r - 429 * g - 84 * b + 511, 128);
}

// ---- Codecs ---------------------------------------------------------------

void TCustomFFmpegHlpr::SetAudioCodec(const std::string& name) {
  if (name.empty()) return;
  AudioCodecName.clear();
  if (name == "copy")
    AudioStreamCopy = 1;  // a later name does not clear it; the stream does
  else
    AudioCodecName = name;
}

void TCustomFFmpegHlpr::SetVideoCodec(const std::string& name) {
  if (name.empty()) return;
  VideoCodecName.clear();
  if (name == "copy")
    VideoStreamCopy = 1;
  else
    VideoCodecName = name;
}

void TCustomFFmpegHlpr::SetRealVideoDecoders(bool useLibraryDecoders) {
  LibraryRealVideoDecoders = useLibraryDecoders;
}

// ---- Plain values ---------------------------------------------------------

void TCustomFFmpegHlpr::SetAudioSampleRate(int rate) {
  if (rate > 0) AudioSampleRate = rate;
}

void TCustomFFmpegHlpr::SetAudioChannels(int channels) {
  if (channels > 0) AudioChannels = channels;
}

void TCustomFFmpegHlpr::SetAudioVolume(int volume) {
  if (volume >= 0) AudioVolume = volume;
}

void TCustomFFmpegHlpr::SetMuxPreload(float seconds) {
  if (seconds > 0) MuxPreload = seconds;
}

void TCustomFFmpegHlpr::SetMuxMaxDelay(float seconds) {
  if (seconds > 0) MuxMaxDelay = seconds;
}

void TCustomFFmpegHlpr::SetYear(int year) {
  if (year > 0) Year = year;
}

void TCustomFFmpegHlpr::SetTrack(int track) {
  if (track > 0) Track = track;
}

void TCustomFFmpegHlpr::SetTitle(const std::string& text) {
  if (!text.empty()) Title = text;
}

void TCustomFFmpegHlpr::SetAuthor(const std::string& text) {
  if (!text.empty()) Author = text;
}

void TCustomFFmpegHlpr::SetCopyright(const std::string& text) {
  if (!text.empty()) Copyright = text;
}

void TCustomFFmpegHlpr::SetComment(const std::string& text) {
  if (!text.empty()) Comment = text;
}

void TCustomFFmpegHlpr::SetAlbum(const std::string& text) {
  if (!text.empty()) Album = text;
}

void TCustomFFmpegHlpr::SetGenre(const std::string& text) {
  if (!text.empty()) Genre = text;
}

// ---- Timing ---------------------------------------------------------------

void TCustomFFmpegHlpr::SetDuration(int ms) {
  if (ms <= 0) return;
  RecordingTime = static_cast<int64_t>(ms) * 1000;
  TotalDuration = ms;
}

void TCustomFFmpegHlpr::SetStartTime(int ms) {
  if (ms <= 0) return;
  StartTime = static_cast<int64_t>(ms) * 1000;
  for (int i = 0; i < InputFileCount; ++i) {
    AVFormatContext* input = InputFiles[i].get();
    if (!input) continue;
    int64_t timestamp = StartTime;
    if (input->start_time != AV_NOPTS_VALUE) timestamp += input->start_time;
    AVF.av_seek_frame(input, -1, timestamp, AVSEEK_FLAG_BACKWARD);
    InputTsOffset[i] = CopyTimestamps ? InputTimeOffset : InputTimeOffset - timestamp;
  }
  StartTime = 0;
  // An unknown length stays unknown rather than becoming a negative length.
  if (TotalDuration >= 0) TotalDuration -= ms;
}

void TCustomFFmpegHlpr::SetRecTimestamp(int64_t seconds) {
  if (seconds > 0) {
    RecTimestamp = seconds;
  } else if (seconds == 0) {
    // The system clock is UTC already: no time zone or daylight saving enters.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    RecTimestamp = static_cast<int64_t>(std::nearbyint(now.tv_sec + now.tv_nsec / 1e9));
  }
}

// ---- Diagnostics ----------------------------------------------------------

void TCustomFFmpegHlpr::SetVerbose(int level) {
  Verbose = level;
  LibraryLogLevelClaim.Claim(level);
}

void TCustomFFmpegHlpr::SetTrackWindow(int64_t start, int64_t end, int timeBaseDen) {
  if (start < 0 || timeBaseDen <= 0 || (end >= 0 && end <= start))
    throw FFMpegException("Invalid track window " + std::to_string(start) + "-" +
                          std::to_string(end) + "/" + std::to_string(timeBaseDen));
  NextTrackWindow = {true, start, end, timeBaseDen};
}

void TCustomFFmpegHlpr::SetTrackTags(const std::map<std::string, std::string>& tags) {
  NextTrackTags = tags;
}
