// Verification: every finished output decodes completely before it replaces
// anything; one damaged on its way (bytes flipped in the hidden file through
// the engine's test seam) fails the task and leaves the earlier file as it
// was, lossless outputs included, whose samples must come back exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/FFmpegHlpr.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/FolderFiles.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

struct VerifyCase {
  const char* extension;
  const char* codec;
  bool flip;  // damage the hidden output before it is verified
};

std::ostream& operator<<(std::ostream& out, const VerifyCase& c) {
  return out << c.codec << (c.flip ? " damaged" : " intact");
}

// XORs a stretch of bytes in the middle of the file: a lossy file no longer
// decodes cleanly, a PCM one decodes to other samples.
void FlipMiddle(void*, TCustomFFmpegHlpr*, const std::string& hiddenPath) {
  std::fstream file(hiddenPath, std::ios::in | std::ios::out | std::ios::binary);
  const auto size = static_cast<std::streamoff>(fs::file_size(hiddenPath));
  for (std::streamoff at = size / 2; at < size / 2 + 600 && at < size; ++at) {
    file.seekg(at);
    const int byte = file.get();
    file.seekp(at);
    file.put(static_cast<char>(byte ^ 0x5a));
  }
}

using Verification = EngineRunTest<VerifyCase>;

TEST_P(Verification, ADamagedOutputFailsAndTheEarlierFileStaysByteIdentical) {
  const VerifyCase& c = GetParam();
  const std::string input = folder / "in.wav";
  MediaFixtures::AudioExtras extras;
  extras.noise = 0.2;
  MediaFixtures::MakeAudio(input, MediaFixtures::AudioFormat::Wav, 44100, 2, 3.0, 440, extras);
  const std::string output = folder / (std::string("out") + c.extension);
  { std::ofstream(output) << "the earlier output"; }

  TCustomFFmpegHlpr engine(lock);
  engine.Reset();
  ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
  engine.SetAudioCodec(c.codec);
  ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
  engine.VerifyOutputs = 1;
  if (c.flip) engine.CompleteOutputHook = {FlipMiddle, nullptr};
  std::string failure;
  try {
    engine.Start(false, tpNormal);
  } catch (const FFMpegException& error) {
    failure = error.what();
  }
  EXPECT_TRUE(HiddenPartialFiles(folder.path()).empty());
  if (!c.flip) {
    EXPECT_EQ(failure, "");
    EXPECT_NE(FileBytes(output), "the earlier output");
    return;
  }
  EXPECT_EQ(failure.rfind("verification failed: " + output, 0), 0u) << failure;
  EXPECT_EQ(FileBytes(output), "the earlier output");
}

INSTANTIATE_TEST_SUITE_P(Formats, Verification,
                         ::testing::Values(VerifyCase{".mp3", "libmp3lame", false},
                                           VerifyCase{".mp3", "libmp3lame", true},
                                           VerifyCase{".flac", "flac", false},
                                           VerifyCase{".flac", "flac", true},
                                           VerifyCase{".wav", "pcm_s16le", false},
                                           VerifyCase{".wav", "pcm_s16le", true},
                                           VerifyCase{".ogg", "libvorbis", true},
                                           VerifyCase{".opus", "libopus", true},
                                           VerifyCase{".m4a", "aac", true}));

}  // namespace
