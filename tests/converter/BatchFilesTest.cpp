// How a batch treats files: outputs appear only when complete, queued tasks
// hold no file, files that change or vanish under a batch fail only their
// own task, and inputs that are short or damaged are told apart from good
// ones.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "converter/VeltoConverter.h"
#include "engine/PartialOutputs.h"
#include "tests/support/FolderFiles.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using MediaFixtures::AudioFormat;

namespace {

// A tmpfs of `kilobytes` mounted on folder, when the test may mount (root);
// unmounted when it goes.
class SmallFileSystem {
 public:
  SmallFileSystem(const std::string& folder, int kilobytes) : Folder(folder) {
    fs::create_directories(folder);
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    Mounted = geteuid() == 0 && mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (Mounted) umount2(Folder.c_str(), MNT_DETACH);
  }
  bool MakeReadOnly() {
    return mount(nullptr, Folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  std::string Folder;
  bool Mounted = false;
};

class BatchFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries("", true)) << converter.LastError();
    converter.SetLogLevel(llQuiet);
    converter.OnTerminate = [this](int index, bool) {
      if (onTerminate && index >= 0) onTerminate(index);
      if (index < 0) QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    };
    converter.OnProgress = [this](int index, int, int, int, float, float, int64_t, int) {
      if (onProgress) onProgress(index);
    };
  }

  // One task from input to output with the window's MP3 settings.
  int Add(const std::string& input, const std::string& output) {
    const int index = converter.AddInput(input);
    EXPECT_GE(index, 0) << converter.LastError();
    if (index < 0) return index;
    TOutputOptions options;
    ResetOutputOptions(options);
    options.DisableVideo = -1;
    options.AudioCodec = "libmp3lame";
    options.AudioBitrate = 128000;
    options.AudioSampleRate = 44100;
    options.AudioChannels = 2;
    if (editOutput) editOutput(options);
    EXPECT_TRUE(converter.AddOutput(index, output, options)) << converter.LastError();
    return index;
  }

  // Starts the tasks never started and runs the event loop until the batch
  // ends (or a stop lets it go idle).
  void Run(int concurrency) {
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &app, &QCoreApplication::quit);
    limit.start(std::chrono::seconds(300));
    converter.Start(concurrency);
    app.exec();
  }
  void Quit() { QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection); }

  TTaskState State(int index) { return converter.TaskResult(index).State; }
  std::string Reason(int index) { return converter.TaskResult(index).Reason; }

  int argc = 0;
  QCoreApplication app{argc, nullptr};
  TempFolder folder;
  TVeltoConverter converter;
  std::function<void(int)> onTerminate, onProgress;
  std::function<void(TOutputOptions&)> editOutput;
};

}  // namespace

// A re-conversion that is stopped or fails never touches the results of the
// earlier one: the files that had the final names keep every byte.
TEST_F(BatchFiles, AStoppedOrFailedReconversionLeavesEarlierOutputsAsTheyWere) {
  // A stop asked from the progress event lands mid-file only where that
  // event runs on the engine's own thread; a worker process may finish the
  // file first (workers' stops: ConvertProgram and app_convert_test).
  converter.SetRunMode(rmInProcess);
  const std::string longInput = folder / "a-long.wav", shortInput = folder / "b-short.wav";
  MediaFixtures::MakeWav(longInput, 44100, 2, 30.0, 440);
  MediaFixtures::MakeWav(shortInput, 44100, 2, 1.0, 660);
  const std::string longOutput = folder / "a-long.mp3", shortOutput = folder / "b-short.mp3";
  Add(longInput, longOutput);
  Add(shortInput, shortOutput);
  Run(1);
  ASSERT_EQ(State(0), TTaskState::tsConverted) << Reason(0);
  ASSERT_EQ(State(1), TTaskState::tsConverted) << Reason(1);
  const std::string longBytes = FileBytes(longOutput), shortBytes = FileBytes(shortOutput);

  struct Case {
    const char* name;
    std::function<void()> arrange;  // before the run
    TTaskState longState;
  } cases[] = {
      {"stopped",
       [&] {
         onProgress = [&](int) { converter.Stop(); };
         onTerminate = [&](int) { Quit(); };  // the second task never starts
       },
       TTaskState::tsStopped},
      // The encoder refuses the rate once the output file has been made.
      {"failed", [&] { editOutput = [](TOutputOptions& o) { o.AudioSampleRate = 12345; }; },
       TTaskState::tsFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    converter.ClearTasks();
    onProgress = nullptr;
    onTerminate = nullptr;
    editOutput = nullptr;
    c.arrange();
    Add(longInput, longOutput);
    Add(shortInput, shortOutput);
    Run(1);
    EXPECT_EQ(State(0), c.longState) << Reason(0);
    converter.ClearTasks();
    EXPECT_EQ(FileBytes(longOutput), longBytes);
    EXPECT_EQ(FileBytes(shortOutput), shortBytes);
    EXPECT_EQ(HiddenPartialFiles(folder.path()), std::vector<std::string>{});
  }
}

TEST_F(BatchFiles, ABatchLargerThanTheDescriptorLimitConvertsEveryFile) {
  constexpr int Files = 200;
  std::vector<std::string> inputs;
  for (int i = 0; i < Files; ++i) {
    inputs.push_back(folder / ("in" + std::to_string(i) + ".wav"));
    MediaFixtures::MakeWav(inputs.back(), 8000, 1, 0.1, 440);
  }
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  for (int i = 0; i < Files; ++i) Add(inputs[i], folder / ("out" + std::to_string(i) + ".mp3"));
  Run(2);
  setrlimit(RLIMIT_NOFILE, &saved);
  int converted = 0;
  for (int i = 0; i < Files; ++i) converted += State(i) == TTaskState::tsConverted;
  EXPECT_EQ(converted, Files) << Reason(0);
}

TEST_F(BatchFiles, InputsThatChangeAfterTheyWereAddedFailOnlyTheirTask) {
  const std::string out = folder / "out";
  fs::create_directories(out);
  std::vector<std::string> inputs;
  for (const char* name : {"first", "removed", "replaced", "last"}) {
    inputs.push_back(folder / (std::string(name) + ".wav"));
    MediaFixtures::MakeWav(inputs.back(), 44100, 2, 0.5, 440);
    Add(inputs.back(), out + "/" + name + ".mp3");
  }
  fs::remove(inputs[1]);
  MediaFixtures::MakeWav(inputs[2], 22050, 1, 0.7, 550);
  Run(1);
  EXPECT_EQ(State(0), TTaskState::tsConverted);
  EXPECT_EQ(State(1), TTaskState::tsFailed);
  EXPECT_NE(Reason(1).find(inputs[1]), std::string::npos) << Reason(1);
  EXPECT_NE(Reason(1).find("no such file"), std::string::npos) << Reason(1);
  EXPECT_EQ(State(2), TTaskState::tsFailed);
  EXPECT_EQ(Reason(2), inputs[2] + ": the file changed after it was added");
  EXPECT_EQ(State(3), TTaskState::tsConverted);
  EXPECT_FALSE(fs::exists(out + "/removed.mp3"));
  EXPECT_FALSE(fs::exists(out + "/replaced.mp3"));
  EXPECT_EQ(HiddenPartialFiles(out), std::vector<std::string>{});
}

TEST_F(BatchFiles, AnOutputFolderThatTurnsReadOnlyOrFillsUpFailsTheTaskInTheSystemsWords) {
  const std::string input = folder / "tone.wav", longInput = folder / "long.wav";
  MediaFixtures::MakeWav(input, 44100, 2, 0.5, 440);
  MediaFixtures::MakeWav(longInput, 44100, 2, 20.0, 440);  // about 320 KB of MP3

  {
    SCOPED_TRACE("read-only");
    SmallFileSystem out(folder / "ro", 4096);
    if (!out.Mounted) GTEST_SKIP() << "cannot mount a tmpfs here";
    for (int i = 0; i < 3; ++i) Add(input, out.Folder + "/" + std::to_string(i) + ".mp3");
    onTerminate = [&](int index) {
      if (index == 0) {
        ASSERT_TRUE(out.MakeReadOnly());
      }
    };
    Run(1);
    EXPECT_EQ(State(0), TTaskState::tsConverted);
    for (int i : {1, 2}) {
      EXPECT_EQ(State(i), TTaskState::tsFailed);
      EXPECT_NE(Reason(i).find("Read-only file system"), std::string::npos) << Reason(i);
    }
    EXPECT_EQ(HiddenPartialFiles(out.Folder), std::vector<std::string>{});
    converter.ClearTasks();
    onTerminate = nullptr;
  }
  {
    SCOPED_TRACE("full");
    SmallFileSystem out(folder / "full", 128);
    ASSERT_TRUE(out.Mounted);
    Add(longInput, out.Folder + "/long.mp3");
    Add(input, out.Folder + "/short.mp3");
    Run(1);
    EXPECT_EQ(State(0), TTaskState::tsFailed);
    EXPECT_NE(Reason(0).find("No space left on device"), std::string::npos) << Reason(0);
    EXPECT_FALSE(fs::exists(out.Folder + "/long.mp3"));
    EXPECT_EQ(State(1), TTaskState::tsConverted) << Reason(1);  // the space came back
    EXPECT_EQ(HiddenPartialFiles(out.Folder), std::vector<std::string>{});
  }
}

// A killed run's hidden file stays behind; the next run into that folder
// removes it, but never one whose process still runs, nor one of another
// machine (on shared storage its process ids mean nothing here).
TEST_F(BatchFiles, LeftoversOfAProcessThatIsGoneAreRemovedByTheNextRun) {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  const std::string out = folder / "out";
  fs::create_directories(out);
  const std::string host = PartialFileHost();
  const std::string gone = ".melvaro-" + host + "@" + std::to_string(child) + "-1-song.mp3.part";
  const std::string goneOlderForm = ".melvaro-" + std::to_string(child) + "-2-song.mp3.part";
  const std::string alive =
      ".melvaro-" + host + "@" + std::to_string(getppid()) + "-1-song.mp3.part";
  const std::string otherHost =
      ".melvaro-" + host + "-elsewhere@" + std::to_string(child) + "-1-song.mp3.part";
  for (const std::string& name : {gone, goneOlderForm, alive, otherHost})
    std::ofstream(out + "/" + name) << "partial";
  const std::string input = folder / "tone.wav";
  MediaFixtures::MakeWav(input, 44100, 2, 0.3, 440);
  Add(input, out + "/tone.mp3");
  Run(1);
  EXPECT_EQ(State(0), TTaskState::tsConverted);
  std::vector<std::string> left = HiddenPartialFiles(out);
  std::sort(left.begin(), left.end());
  std::vector<std::string> kept{alive, otherHost};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(left, kept);
}

TEST_F(BatchFiles, ShortAndDamagedInputsEndWithProblemsAndGoodOnesClean) {
  std::vector<std::string> good;
  for (AudioFormat format : MediaFixtures::AllAudioFormats()) {
    good.push_back(folder / (std::string("good-") + MediaFixtures::FormatName(format) +
                             MediaFixtures::FormatExtension(format)));
    MediaFixtures::MakeAudio(good.back(), format, 44100, 2, 2.0, 440);
  }
  // The header states 20 s; the data ends after about 8.
  const std::string truncated = folder / "truncated.mp3";
  MediaFixtures::MakeAudio(truncated, AudioFormat::Mp3, 44100, 2, 20.0, 440);
  fs::resize_file(truncated, fs::file_size(truncated) * 2 / 5);
  // Noise over a stretch in the middle of an MP3.
  const std::string garbled = folder / "garbled.mp3";
  MediaFixtures::MakeAudio(garbled, AudioFormat::Mp3, 44100, 2, 10.0, 440);
  {
    std::fstream file(garbled, std::ios::in | std::ios::out | std::ios::binary);
    const auto size = static_cast<std::streamoff>(fs::file_size(garbled));
    std::mt19937 random(7);
    file.seekp(size / 3);
    for (std::streamoff i = 0; i < size / 5; ++i) file.put(static_cast<char>(random()));
  }

  for (size_t i = 0; i < good.size(); ++i)
    Add(good[i], folder / ("good" + std::to_string(i) + ".mp3"));
  const int truncatedTask = Add(truncated, folder / "truncated-out.mp3");
  const int garbledTask = Add(garbled, folder / "garbled-out.mp3");
  Run(2);
  for (size_t i = 0; i < good.size(); ++i)
    EXPECT_EQ(State(static_cast<int>(i)), TTaskState::tsConverted) << good[i] << ": " << Reason(i);
  EXPECT_EQ(State(truncatedTask), TTaskState::tsConvertedWithProblems);
  EXPECT_EQ(Reason(truncatedTask).rfind("input ended at 0:0", 0), 0u) << Reason(truncatedTask);
  EXPECT_NE(Reason(truncatedTask).find(" of 0:20"), std::string::npos) << Reason(truncatedTask);
  EXPECT_EQ(State(garbledTask), TTaskState::tsConvertedWithProblems);
  EXPECT_NE(Reason(garbledTask).find("damaged packets skipped"), std::string::npos)
      << Reason(garbledTask);
  EXPECT_TRUE(fs::exists(folder / "truncated-out.mp3"));  // what could be read is written
}

namespace {

// A 16-bit big-endian mono AU file whose header states `seconds` of audio.
void WriteAu(const std::string& path, int rate, double seconds) {
  const std::vector<int16_t> samples = MediaFixtures::ToneSamples(rate, 1, seconds, 440);
  std::ofstream file(path, std::ios::binary);
  auto word = [&](uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) file.put(static_cast<char>(value >> shift));
  };
  file.write(".snd", 4);
  word(24);                                         // header size
  word(static_cast<uint32_t>(samples.size() * 2));  // data size
  word(3);                                          // 16-bit linear
  word(static_cast<uint32_t>(rate));
  word(1);
  for (int16_t sample : samples) {
    file.put(static_cast<char>(static_cast<uint16_t>(sample) >> 8));
    file.put(static_cast<char>(sample & 0xff));
  }
}

// An 8-bit mono WAV file whose header declares a data size of `dataBytes`,
// followed by a second of samples all the same.
void WriteWavDeclaring(const std::string& path, uint32_t dataBytes) {
  std::ofstream file(path, std::ios::binary);
  auto le = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.put(static_cast<char>(value >> (8 * i)));
  };
  file.write("RIFF", 4);
  le(36 + 8000, 4);
  file.write("WAVEfmt ", 8);
  le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(8000, 4), le(1, 2), le(8, 2);
  file.write("data", 4);
  le(dataBytes, 4);
  for (int i = 0; i < 8000; ++i) file.put(static_cast<char>(i % 40 < 20 ? 0x40 : 0xc0));
}

}  // namespace

TEST_F(BatchFiles, OutputsWithoutAudioFailAndFilesCutShortAreFlaggedAtAnyLength) {
  struct Case {
    std::string name;
    std::function<void(const std::string&)> make;
    TTaskState expected;
    std::string reason;  // the start of it
  };
  auto cut = [](AudioFormat format, double seconds, double keep) {
    return [=](const std::string& path) {
      MediaFixtures::MakeAudio(path, format, 44100, 2, seconds, 440);
      fs::resize_file(path, static_cast<uintmax_t>(fs::file_size(path) * keep));
    };
  };
  const std::vector<Case> cases = {
      // 24 header bytes and 13 samples of a second.
      {"cut.au",
       [](const std::string& path) {
         WriteAu(path, 44100, 1.0);
         fs::resize_file(path, 50);
       },
       TTaskState::tsConvertedWithProblems, "input ended at 0:00 of 0:01"},
      // The resampler hands its one sample on, so the encoder makes a frame.
      {"one-byte.wav", [](const std::string& path) { WriteWavDeclaring(path, 1); },
       TTaskState::tsConverted, ""},
      {"cut.wav", cut(AudioFormat::Wav, 1.0, 0.05), TTaskState::tsConvertedWithProblems,
       "input ended at 0:00 of 0:01"},
      {"cut.flac", cut(AudioFormat::Flac, 1.5, 0.5), TTaskState::tsConvertedWithProblems,
       "input ended at 0:00 of 0:01"},
      {"cut.mp3", cut(AudioFormat::Mp3, 1.5, 0.5), TTaskState::tsConvertedWithProblems,
       "input ended at 0:00 of 0:01"},
      {"whole.au", [](const std::string& path) { WriteAu(path, 44100, 0.05); },
       TTaskState::tsConverted, ""},
  };
  for (const Case& c : cases) {
    c.make(folder / c.name);
    Add(folder / c.name, folder / (c.name + ".mp3"));
  }
  Run(2);
  for (size_t i = 0; i < cases.size(); ++i) {
    const int task = static_cast<int>(i);
    EXPECT_EQ(State(task), cases[i].expected) << cases[i].name << ": " << Reason(task);
    EXPECT_EQ(Reason(task).rfind(cases[i].reason, 0), 0u) << cases[i].name << ": " << Reason(task);
    EXPECT_EQ(fs::exists(folder / (cases[i].name + ".mp3")),
              cases[i].expected != TTaskState::tsFailed)
        << cases[i].name;
  }
}
