#include "converter/AudioFiles.h"

#include <algorithm>
#include <cctype>
#include <set>

const char* const AudioFilePatterns =
    "*.wav;*.au;*.aiff;*.mp3;*.mp2;*.ogg;*.aac;*.m4a;*.mp4;*.vqf;*.ape;*.wma;*.wmv;"
    "*.asf;*.avi;*.mpg;*.mpeg;*.dat;*.flac;*.mid;*.mka;*.mpa;*.mpc;*.ofr;*.ra;*.wv;*.tta;*.ac3;"
    "*.dts";

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool IsAudioFileName(const std::string& fileName) {
  static const std::set<std::string> extensions = [] {
    std::set<std::string> set;
    const std::string patterns = AudioFilePatterns;
    std::size_t start = 0;
    while (start < patterns.size()) {
      std::size_t end = patterns.find(';', start);
      if (end == std::string::npos) end = patterns.size();
      set.insert(Lower(patterns.substr(start + 1, end - start - 1)));  // "*.wav" -> ".wav"
      start = end + 1;
    }
    return set;
  }();
  const std::size_t dot = fileName.rfind('.');
  const std::size_t slash = fileName.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return extensions.count(Lower(fileName.substr(dot))) > 0;
}
