// The output choices both programs offer (format, quality, sample rate,
// channels) and how one becomes an output record. The window and
// melvaro-convert fill their records only through here, so the two cannot
// disagree. Pure bookkeeping: no media library is touched, any thread may
// call it.
#pragma once

#include <string>
#include <vector>

#include "converter/OptionRecords.h"

enum class OutputFormat { Mp3, Ogg, Opus, M4a, Flac, Wav };

// How a format's quality is chosen: a bit rate in kbit/s, a quality level, or
// both (MP3: CBR or VBR).
enum class QualityKind { Bitrate, Level, BitrateOrLevel };

struct FormatDescription {
  OutputFormat Format;
  const char* Name;       // the command line's name, "mp3", "ogg", ...
  const char* Extension;  // with its dot
  const char* Label;      // for the window's format box
  QualityKind Quality;
  int MinBitrate, MaxBitrate, DefaultBitrate;  // kbit/s; 0 when the format has none
  int MinLevel, MaxLevel, DefaultLevel;        // -1 when the format has no level
  const char* LevelMeaning;                    // for help texts and messages
  int FixedRate;                               // Hz the format always uses, else 0
};

// Every format, in the order the window lists them (MP3 first).
const std::vector<FormatDescription>& OutputFormats();
const FormatDescription& Describe(OutputFormat format);
// The format of a command-line name (any letter case); false when unknown.
bool FormatByName(const std::string& name, OutputFormat& format);

// "Keep" for SampleRate and Channels: the source's own.
constexpr int KeepSource = 0;

struct OutputChoice {
  OutputFormat Format = OutputFormat::Mp3;
  int Bitrate = 0;     // kbit/s; 0 = not chosen
  int Level = -1;      // VBR level, Vorbis quality, FLAC compression, WAV bits; -1 = not chosen
  int SampleRate = 0;  // Hz or KeepSource
  int Channels = 0;    // 1, 2 or KeepSource
};

// The format's defaults: MP3 128 kbit/s CBR, 44100 Hz, stereo; the others
// keep the source's rate and channels (Opus always 48000 Hz).
OutputChoice DefaultChoice(OutputFormat format);

// Empty when the choice can be made; else why not, in a sentence for the user
// ("Opus is always 48000 Hz; 44100 Hz cannot be chosen").
std::string CheckChoice(const OutputChoice& choice);

// Fills the record's format fields from a choice CheckChoice accepted, with
// video and subtitles left out: FileExt, AudioCodec, AudioBitrate,
// AudioSampleRate, AudioChannels, and the quality as option lines in
// ExtraOptions. Other fields (tags, file name) are left as they are.
void FillOutputOptions(const OutputChoice& choice, TOutputOptions& options);

// The input record for a file: a ".dat" file (any case) is read as MPEG.
TInputOptions InputOptionsFor(const std::string& fileName);

// Where both programs look for the media libraries first: the program's
// folder followed by "Lib".
std::string LibraryFolderOf(const std::string& programFolder);

// Video targets ("vcd", "pal-dvd", "film-svcd", "ntsc-dv", ...): the record's
// TargetType/TargetNorm and the container's extension. False when the name is
// not one of them.
bool FillVideoTarget(const std::string& target, TOutputOptions& options);
