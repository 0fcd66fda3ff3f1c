// libFuzzer target: one input through the engine's whole path, prepared the
// way the converter component prepares a task (the input record of its name,
// the input opened and probed, the output record of the format's defaults
// from the presets both programs use), then run on this thread: stream
// mapping, decoding, repair, resampling, encoding, writing. The build makes
// one target per output format (MELVARO_FUZZ_FORMAT: "mp3", "ogg", ...).
// Any failure the engine reports is a normal end; what the fuzzer looks for
// is a crash, a sanitizer report, a hang or memory beyond its limit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "converter/OptionApplication.h"
#include "converter/OutputPresets.h"
#include "engine/FFmpegHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"

namespace {

// The folder that holds the input and output of the current run; removed at
// exit.
std::string WorkFolder;
TOutputOptions Output;

void RemoveWorkFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(WorkFolder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!LoadMediaLibraries("", true)) {
    std::fprintf(stderr, "the media libraries cannot be loaded\n");
    std::abort();
  }
  AVU.av_log_set_level(AV_LOG_QUIET);
  OutputFormat format;
  if (!FormatByName(MELVARO_FUZZ_FORMAT, format)) std::abort();
  FillOutputOptions(DefaultChoice(format), Output);
  const char* shm = "/dev/shm";
  std::string pattern = (std::filesystem::is_directory(shm)
                             ? std::filesystem::path(shm)
                             : std::filesystem::temp_directory_path()) /
                        "melvaro-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  WorkFolder = pattern;
  std::atexit(RemoveWorkFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = WorkFolder + "/input";
  const std::string output = WorkFolder + "/output" + Output.FileExt;
  if (FILE* file = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  } else {
    std::abort();
  }
  std::remove(output.c_str());

  std::mutex codecLock;
  TCustomFFmpegHlpr engine(codecLock);
  engine.Reset();
  try {
    ApplyInputOptions(engine, InputOptionsFor(input));
    if (!engine.OpenInputFile(input)) return 0;
    ApplyOutputOptions(engine, Output);
  } catch (const FFMpegException&) {
    return 0;
  }
  if (!engine.OpenOutputFile(output)) return 0;
  try {
    engine.Start(false, tpNormal);
  } catch (const FFMpegException&) {
    // The task failed with a message: an honest end.
  }
  return 0;
}
