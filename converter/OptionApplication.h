// How the option records reach an engine: the order of the setter calls is
// part of the component's contract (a field that is set wins over an option
// line of the same effect; the target preset comes last and wins over both).
//
// Written as templates over the engine so that the order can be observed by a
// recording stand-in; the component instantiates them for TCustomFFmpegHlpr.
// Every setter may raise FFMpegException; a raise stops the application and
// leaves what was applied before it in the engine.
#pragma once

#include <cstdint>
#include <string>

#include "converter/OptionRecords.h"

// Resolves a colour of the records to plain RGB (red in the low byte): a value
// whose top byte is 0xFF names a system colour (index in the low byte).
uint32_t ColorToRGB(uint32_t colour);

// Trims blanks and control characters from both ends and turns CR LF or a
// lone CR into LF.
std::string NormaliseOptionLines(const std::string& text);

// Hands each "name=value" line to SetLibraryOption; results are ignored, so an
// unknown name, a line without "=" or an empty value changes nothing.
template <typename Engine>
void ApplyExtraOptions(Engine& engine, const std::string& extraOptions) {
  std::string text = NormaliseOptionLines(extraOptions);
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    const std::string line = text.substr(0, feed);
    text = feed == std::string::npos ? std::string() : text.substr(feed + 1);
    const std::size_t equals = line.find('=');
    const std::string name = line.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
    engine.SetLibraryOption(name, value);
  }
}

template <typename Engine>
void ApplyInputOptions(Engine& engine, const TInputOptions& options) {
  ApplyExtraOptions(engine, options.ExtraOptions);
  engine.SetInputFormat(options.ForceFormat);
}

namespace OptionApplicationDetail {
template <typename Engine>
void SetPositive(Engine& engine, const char* name, int32_t value) {
  if (value > 0) engine.SetLibraryOption(name, std::to_string(value));
}
}  // namespace OptionApplicationDetail

// ExtraOptions, then the fields from OutputFormat to Genre in record order,
// then the target preset.
template <typename Engine>
void ApplyOutputOptions(Engine& engine, const TOutputOptions& o) {
  using OptionApplicationDetail::SetPositive;
  ApplyExtraOptions(engine, o.ExtraOptions);

  engine.SetOutputFormat(o.OutputFormat);
  SetPositive(engine, "packetsize", o.PacketSize);
  SetPositive(engine, "muxrate", o.MuxRate);
  engine.SetMuxMaxDelay(o.MaxDelay);
  engine.SetMuxPreload(o.Preload);
  engine.SetAudioCodec(o.AudioCodec);
  // The disable flags only ever switch on: an earlier output's flag stays.
  if (o.DisableAudio) engine.AudioDisable = 1;
  engine.SetAudioVolume(o.AudioVolume);
  engine.SetAudioChannels(o.AudioChannels);
  engine.SetAudioSampleRate(o.AudioSampleRate);
  SetPositive(engine, "ab", o.AudioBitrate);
  SetPositive(engine, "abt", o.AudioBitrateTolerance);
  engine.AudioLanguage = o.AudioLanguage;
  engine.SetVideoCodec(o.VideoCodec);
  if (o.DisableVideo) engine.VideoDisable = 1;
  engine.SetFrameRate(o.FrameRate);
  engine.SetFrameSize(o.FrameSize);
  engine.SetAspectRatio(o.FrameAspectRatio);
  engine.SetCropTop(o.CropTop);
  engine.SetCropBottom(o.CropBottom);
  engine.SetCropLeft(o.CropLeft);
  engine.SetCropRight(o.CropRight);
  engine.SetPadTop(o.PadTop);
  engine.SetPadBottom(o.PadBottom);
  engine.SetPadLeft(o.PadLeft);
  engine.SetPadRight(o.PadRight);
  engine.SetPadColor(ColorToRGB(o.PadColor));
  SetPositive(engine, "gop", o.GOPSize);
  SetPositive(engine, "vb", o.VideoBitrate);
  SetPositive(engine, "maxrate", o.VideoMaxRate);
  SetPositive(engine, "minrate", o.VideoMinRate);
  SetPositive(engine, "bt", o.VideoBitrateTolerance);
  SetPositive(engine, "bufsize", o.VideoBufSize);
  if (o.DisableSubtitle) engine.SubtitleDisable = 1;
  engine.SubtitleLanguage = o.SubtitleLanguage;
  engine.CopyTimestamps = o.CopyTimestamps ? 1 : 0;
  engine.SetStartTime(o.StartTime);
  engine.SetDuration(o.Duration);
  engine.SetRecTimestamp(o.Timestamp);
  engine.SetYear(o.Year);
  engine.SetTrack(o.Track);
  engine.SetTitle(CharArrayText(o.Title));
  engine.SetAuthor(CharArrayText(o.Author));
  engine.SetCopyright(CharArrayText(o.Copyright));
  engine.SetComment(CharArrayText(o.Comment));
  engine.SetAlbum(CharArrayText(o.Album));
  engine.SetGenre(CharArrayText(o.Genre));

  static const char* const Presets[] = {"vcd", "svcd", "dvd", "dv"};
  const char* norm = o.TargetNorm == 1   ? "pal"
                     : o.TargetNorm == 2 ? "ntsc"
                     : o.TargetNorm == 3 ? "film"
                                         : "auto";
  const char* fallbackNorm = o.TargetFallbackNorm == 1 ? "pal" : "ntsc";
  if (o.TargetType >= 1 && o.TargetType <= 4)
    engine.SetTarget(Presets[o.TargetType - 1], norm, fallbackNorm);
}
