// Writes the fuzzer's seed corpus: one short file of every container and
// codec the test fixtures make (each audio format, and each video container
// with its sound track), small enough for the fuzzer to mutate quickly.
//
//   make_seed_corpus FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tests/support/MediaFixtures.h"

using namespace MediaFixtures;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seed_corpus FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  try {
    std::filesystem::create_directories(folder);
    for (AudioFormat format : AllAudioFormats()) {
      const std::string name = std::string("seed-") + FormatName(format);
      MakeAudio(folder / (name + "-mono" + FormatExtension(format)), format, 44100, 1, 0.1, 440);
      MakeAudio(folder / (name + "-stereo" + FormatExtension(format)), format, 48000, 2, 0.08, 440);
    }
    for (const char* extension : {".avi", ".mpg", ".mkv"}) {
      VideoClip clip;
      clip.width = 32;
      clip.height = 32;
      clip.seconds = 0.12;
      MakeVideo(folder / (std::string("seed-video") + extension), clip);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_seed_corpus: %s\n", error.what());
    return 1;
  }
  return 0;
}
