// Writes the fuzzer's seed corpus: one short file of every container and
// codec the test fixtures make (each audio format, and each video container
// with its sound track), every sample format WAV, AIFF and AU carry, Opus,
// and a floating-point WAV holding NaN, infinities and wild values; small
// enough for the fuzzer to mutate quickly.
//
//   make_seed_corpus FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

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
    // 8000 Hz mono keeps even 64-bit samples within the fuzzer's input size.
    const struct {
      const char* container;
      const char* extension;
      std::vector<const char*> encoders;
    } pcm[] = {
        {"wav", ".wav",
         {"pcm_u8", "pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le", "pcm_f64le", "pcm_alaw",
          "pcm_mulaw", "adpcm_ima_wav", "adpcm_ms"}},
        {"aiff", ".aiff",
         {"pcm_s8", "pcm_s16be", "pcm_s24be", "pcm_s32be", "pcm_f32be", "pcm_f64be", "pcm_alaw",
          "pcm_mulaw", "adpcm_ima_qt"}},
        {"au", ".au",
         {"pcm_s8", "pcm_s16be", "pcm_s24be", "pcm_s32be", "pcm_f32be", "pcm_f64be", "pcm_alaw",
          "pcm_mulaw", "g722"}},
    };
    for (const auto& kind : pcm)
      for (const char* encoder : kind.encoders)
        MakeEncoded(folder / (std::string("seed-") + encoder + kind.extension), kind.container,
                    encoder, encoder == std::string("g722") ? 16000 : 8000, 1, 0.2, 440);
    MakeEncoded(folder / "seed-opus-stereo.opus", "ogg", "libopus", 48000, 2, 0.1, 440);
    std::vector<float> wild(1600, 0.25f);
    const float inf = std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < wild.size(); i += 97) wild[i] = std::numeric_limits<float>::quiet_NaN();
    for (size_t i = 40; i < wild.size(); i += 131) wild[i] = i % 2 ? inf : -1e30f;
    MakeFloatWav(folder / "seed-pcm_f32le-wild.wav", 8000, 2, wild);
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
