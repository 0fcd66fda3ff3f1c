#include "converter/SameFormatCopy.h"

#include <cctype>

namespace {

const char* CodecOf(const OutputChoice& choice) {
  switch (choice.Format) {
    case OutputFormat::Mp3: return "mp3";
    case OutputFormat::Ogg: return "vorbis";
    case OutputFormat::Opus: return "opus";
    case OutputFormat::M4a: return "aac";
    case OutputFormat::Flac: return "flac";
    case OutputFormat::Wav: return choice.Level == 24 ? "pcm_s24le" : "pcm_s16le";
  }
  return "";
}

}  // namespace

bool MayBeSameFormat(const OutputChoice& choice, const std::string& sourcePath) {
  const std::string extension = Describe(choice.Format).Extension;
  if (sourcePath.size() <= extension.size()) return false;
  for (size_t i = 0; i < extension.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(
            sourcePath[sourcePath.size() - extension.size() + i])) != extension[i])
      return false;
  return true;
}

bool CanCopyInstead(const OutputChoice& choice, const TInputDescription& source) {
  if (source.AudioCodec != CodecOf(choice)) return false;
  if (choice.SampleRate != KeepSource && source.SampleRate != choice.SampleRate) return false;
  if (choice.Channels != KeepSource && source.Channels != choice.Channels) return false;
  const bool bitrateChosen = choice.Bitrate > 0 && choice.Format != OutputFormat::Flac &&
                             choice.Format != OutputFormat::Wav;
  if (bitrateChosen &&
      (source.AudioBitRate <= 0 || source.AudioBitRate * 100 > int64_t{choice.Bitrate} * 1000 * 102))
    return false;
  return true;
}
