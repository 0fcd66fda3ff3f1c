// The two plain records through which an application says how one input is
// opened and how one output is written. The component copies a record into
// the task and turns its fields into engine setter calls just before the file
// is opened or created (see OptionApplication.h for the order).
//
// Numeric fields use -1 for "not set"; 32-bit booleans are 0 for false and
// anything else for true (applications write -1). Character arrays end at
// their first zero byte, or at the end of the array when it holds none.
#pragma once

#include <cstdint>
#include <string>

struct TInputOptions {
  std::string FileName;      // kept for the caller; AddInput takes its own argument
  std::string ForceFormat;   // container format to force; empty = detect
  std::string ExtraOptions;  // lines of name=value, handed to SetLibraryOption
};

struct TOutputOptions {
  std::string FileName;  // not read by the component
  std::string FileExt;   // not read by the component
  std::string OutputFormat;
  int32_t PacketSize = -1;
  int32_t MuxRate = -1;
  float MaxDelay = -1.0f;  // seconds
  float Preload = -1.0f;   // seconds
  std::string AudioCodec;  // "copy" = stream copy
  int32_t DisableAudio = 0;
  int32_t AudioVolume = -1;  // 256 = unchanged
  int32_t AudioChannels = -1;
  int32_t AudioSampleRate = -1;  // Hz
  int32_t AudioBitrate = -1;     // bit/s
  int32_t AudioBitrateTolerance = -1;
  std::string AudioLanguage;
  std::string VideoCodec;  // "copy" = stream copy
  int32_t DisableVideo = 0;
  std::string FrameRate;
  std::string FrameSize;
  std::string FrameAspectRatio;
  int32_t CropTop = -1;
  int32_t CropBottom = -1;
  int32_t CropLeft = -1;
  int32_t CropRight = -1;
  int32_t PadTop = -1;
  int32_t PadBottom = -1;
  int32_t PadLeft = -1;
  int32_t PadRight = -1;
  // Red in the low byte, then green, then blue. A value whose top byte is
  // 0xFF names a system colour by the index in its low byte.
  uint32_t PadColor = 0;
  int32_t GOPSize = -1;
  int32_t VideoBitrate = -1;  // bit/s
  int32_t VideoMaxRate = -1;  // bit/s
  int32_t VideoMinRate = -1;  // bit/s
  int32_t VideoBitrateTolerance = -1;
  int32_t VideoBufSize = -1;
  int32_t DisableSubtitle = 0;
  std::string SubtitleLanguage;
  int32_t CopyTimestamps = 0;
  int32_t StartTime = -1;  // ms
  int32_t Duration = -1;   // ms
  int64_t Timestamp = -1;  // seconds since 1970-01-01 UTC; 0 = now
  int32_t Year = -1;
  int32_t Track = -1;
  char Title[512] = {};
  char Author[512] = {};
  char Copyright[512] = {};
  char Comment[512] = {};
  char Album[512] = {};
  char Genre[32] = {};
  int32_t TargetType = 0;          // 1 "vcd", 2 "svcd", 3 "dvd", 4 "dv", else none
  int32_t TargetNorm = 0;          // 0 "auto", 1 "pal", 2 "ntsc", 3 "film", else "auto"
  int32_t TargetFallbackNorm = 1;  // 1 "pal", else "ntsc"
  std::string ExtraOptions;        // name=value lines, applied first
  // Decode the finished output completely before it replaces anything; a
  // task whose output fails that fails.
  int32_t VerifyOutput = 0;
  // Measure the source first and write its ReplayGain tags (R128 gain in
  // Opus): 1 per track. NormalizeLufs (negative; 0 = off) brings the track
  // to that loudness within a true peak of -1 dBTP.
  int32_t ReplayGain = 0;
  float NormalizeLufs = 0;

  bool operator==(const TOutputOptions&) const = default;
};

// Sets every field of the record to its default: strings emptied, character
// arrays zero-filled, the rest as declared above.
void ResetOutputOptions(TOutputOptions& options);

// The text of a fixed character array: up to its first zero byte, or all of
// it when it holds none.
template <std::size_t N>
std::string CharArrayText(const char (&array)[N]) {
  std::size_t length = 0;
  while (length < N && array[length] != '\0') ++length;
  return std::string(array, length);
}

// Copies text into a fixed character array, cut to its size; the rest is
// zero-filled. A text of exactly N characters leaves no terminating zero.
template <std::size_t N>
void SetCharArray(char (&array)[N], const std::string& text) {
  std::size_t i = 0;
  for (; i < N && i < text.size(); ++i) array[i] = text[i];
  for (; i < N; ++i) array[i] = '\0';
}
