// Inputs made to hurt: headers that claim absurd parameters, files that are
// not files, files that hold nothing. Each ends with the message that says
// why, leaves no output, and stays within the memory bound and ends (the
// fuzzer's pass holds the tighter time bound).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;
namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer keeps freed memory aside (256 MB by default), which would
// count as use here; a small quarantine measures the program.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
#endif

namespace {

constexpr long MemoryBoundKiB = 100 * 1024;

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Put(std::ofstream& file, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) file.put(static_cast<char>(value >> (8 * i)));
}

// A 16-bit PCM WAV whose header says `rate` and `channels`, holding `frames`
// frames of a ramp; `gapBeforeData` bytes of a chunk the reader must skip
// come before the samples, and that chunk may claim more than the file has.
void CraftedWav(const std::string& path, uint32_t rate, uint32_t channels, uint32_t frames,
                uint32_t claimedGap = 0) {
  std::ofstream file(path, std::ios::binary);
  const uint32_t dataBytes = frames * channels * 2;
  file.write("RIFF", 4);
  Put(file, 36 + dataBytes + (claimedGap ? 8 : 0), 4);
  file.write("WAVEfmt ", 8);
  Put(file, 16, 4);
  Put(file, 1, 2);
  Put(file, channels, 2);
  Put(file, rate, 4);
  Put(file, rate * channels * 2, 4);
  Put(file, channels * 2, 2);
  Put(file, 16, 2);
  if (claimedGap) {
    file.write("LIST", 4);
    Put(file, claimedGap, 4);
  }
  file.write("data", 4);
  Put(file, dataBytes, 4);
  for (uint32_t i = 0; i < frames * channels; ++i) Put(file, (i * 97) & 0x3fff, 2);
}

// A FLAC file whose STREAMINFO states other block sizes than its blocks have.
void FlacWithBlockSizes(const std::string& path, int minimum, int maximum) {
  MakeAudio(path, AudioFormat::Flac, 44100, 2, 1.0, 440);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  char head[8];
  file.read(head, 8);
  ASSERT_EQ(std::string(head, 4), "fLaC");
  ASSERT_EQ(head[4] & 0x7f, 0) << "STREAMINFO comes first";
  file.seekp(8);
  const char sizes[4] = {static_cast<char>(minimum >> 8), static_cast<char>(minimum),
                         static_cast<char>(maximum >> 8), static_cast<char>(maximum)};
  file.write(sizes, 4);
}

enum class Outcome { RefusedAtOpen, FailsInRun };

struct HostileCase {
  const char* name;
  // Makes the input in `folder` and returns its path.
  std::string (*make)(const TempFolder& folder);
  Outcome outcome;
  // The expected LastError; "FILE" stands for the input's path.
  const char* message;
};

const HostileCase Cases[] = {
    {"Rate1HzWav",
     [](const TempFolder& f) {
       CraftedWav(f / "rate1.wav", 1, 2, 2000);
       return f / "rate1.wav";
     },
     Outcome::FailsInRun,
     "FILE: sample rate of 1 Hz is not plausible; the header is probably damaged"},
    {"Channels255Wav",
     [](const TempFolder& f) {
       CraftedWav(f / "wide.wav", 44100, 255, 200);
       return f / "wide.wav";
     },
     Outcome::FailsInRun,
     "FILE: channel count of 255 is not plausible; the header is probably damaged"},
    {"DataOffsetPastTheEnd",
     [](const TempFolder& f) {
       CraftedWav(f / "far.wav", 44100, 2, 4000, 0x7ffffff0);
       return f / "far.wav";
     },
     Outcome::RefusedAtOpen, "FILE: Error while parsing header"},
    {"FlacMaximumBlockBelowMinimum",
     [](const TempFolder& f) {
       FlacWithBlockSizes(f / "block.flac", 4608, 1024);
       return f / "block.flac";
     },
     Outcome::FailsInRun,
     "FILE: maximum block size of 1024 samples is not plausible; the header is probably damaged"},
    {"FlacBlocksAboveStatedMaximum",
     [](const TempFolder& f) {
       FlacWithBlockSizes(f / "block.flac", 1024, 1024);
       return f / "block.flac";
     },
     Outcome::FailsInRun,
     "FILE: block size of 4608 samples is more than the maximum of 1024 that the header states; "
     "the header is probably damaged"},
    {"OneByteFile",
     [](const TempFolder& f) {
       std::ofstream(f / "one.flac", std::ios::binary).put('\xff');
       return f / "one.flac";
     },
     Outcome::FailsInRun, "no audio could be decoded from FILE"},
    {"ZerosNamedMp3",  // the parser finds no frame and would gather all it reads
     [](const TempFolder& f) {
       std::ofstream{f / "zeros.mp3"};
       fs::resize_file(f / "zeros.mp3", 256 << 20);
       return f / "zeros.mp3";
     },
     Outcome::FailsInRun, "no audio could be decoded from FILE"},
    {"Fifo",
     [](const TempFolder& f) {
       mkfifo((f / "pipe.wav").c_str(), 0600);
       return f / "pipe.wav";
     },
     Outcome::RefusedAtOpen, "FILE: is a FIFO (named pipe), not a regular file"},
    {"Directory",
     [](const TempFolder& f) {
       fs::create_directory(f / "folder.wav");
       return f / "folder.wav";
     },
     Outcome::RefusedAtOpen, "FILE: is a directory, not a regular file"},
    {"DevZero", [](const TempFolder&) { return std::string("/dev/zero"); }, Outcome::RefusedAtOpen,
     "FILE: is a character device, not a regular file"},
    {"Unreadable",
     [](const TempFolder& f) {
       MakeWav(f / "locked.wav", 44100, 2, 0.5, 440);
       chmod((f / "locked.wav").c_str(), 0);
       return f / "locked.wav";
     },
     Outcome::RefusedAtOpen, "FILE: Error while opening file: Permission denied"},
};

std::string Expected(const char* pattern, const std::string& path) {
  std::string text = pattern;
  const size_t at = text.find("FILE");
  return text.replace(at, 4, path);
}

class HostileInput : public EngineRunTest<HostileCase> {};

TEST_P(HostileInput, EndsWithItsMessageWithinBounds) {
  const HostileCase& c = GetParam();
  if (std::string(c.name) == "Unreadable" && geteuid() == 0)
    GTEST_SKIP() << "root reads every file";
  const std::string input = c.make(folder);
  const std::string output = folder / "out.mp3";
  const long baseline = PeakResidentKiB();

  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  engine.Reset();
  const bool opened = engine.OpenInputFile(input);
  if (c.outcome == Outcome::RefusedAtOpen) {
    EXPECT_FALSE(opened);
    EXPECT_EQ(engine.LastError, Expected(c.message, input));
  } else {
    ASSERT_TRUE(opened) << engine.LastError;
    engine.SetAudioCodec("libmp3lame");
    engine.SetAudioSampleRate(44100);
    engine.SetAudioChannels(2);
    ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
    ASSERT_NE(engine.Start(true, tpNormal), 0u);
    ASSERT_TRUE(record.WaitForTerminate(std::chrono::seconds(60))) << "the run does not end";
    engine.StopAndWait();
    EXPECT_FALSE(engine.Finished);
    EXPECT_EQ(engine.LastError, Expected(c.message, input));
  }
  EXPECT_FALSE(fs::exists(output)) << "a failed task leaves no output";
  EXPECT_LE(PeakResidentKiB() - baseline, MemoryBoundKiB);
}

INSTANTIATE_TEST_SUITE_P(Crafted, HostileInput, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The slowest input the bounds let through (1000 Hz mono, upsampled 44-fold
// into stereo) still stops at once: the run ends after the stop without
// working through the rest of the file.
TEST(HostileStop, TheSlowestPlausibleInputStopsWithoutFinishingTheFile) {
  EnsureLibraries();
  TempFolder folder;
  const std::string input = folder / "slow.wav";
  CraftedWav(input, 1000, 1, 600 * 1000);  // ten minutes
  std::mutex lock;
  RunRecord record;
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, folder / "slow.mp3"));
  engine.ReportInterval = 0;
  ASSERT_NE(engine.Start(true, tpNormal), 0u);
  ASSERT_TRUE(record.WaitForProgress(2));
  const auto stopped = std::chrono::steady_clock::now();
  engine.Stop();
  ASSERT_TRUE(record.WaitForTerminate(std::chrono::seconds(60)));
  // A figure, not a bound: a busy machine stretches it.
  const std::chrono::duration<double> latency = std::chrono::steady_clock::now() - stopped;
  std::printf("from the stop to the end of the run: %.3f s\n", latency.count());
  engine.StopAndWait();
  EXPECT_FALSE(engine.Finished);
  std::lock_guard<std::mutex> guard(record.mutex);
  EXPECT_LT(record.progress.back().durationTime, 300 * 1000) << "ms of output reached";
}

}  // namespace
