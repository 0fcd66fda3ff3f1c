// melvaro-convert on real batches, and how it names its outputs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/converter/ProgramRun.h"
#include "tests/support/FolderFiles.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void ExpectMp3(const std::string& path) {
  ASSERT_TRUE(fs::exists(path)) << path;
  const MediaFixtures::FileInfo info = MediaFixtures::Probe(path);
  EXPECT_EQ(info.formatName, "mp3") << path;
  const MediaFixtures::StreamInfo* audio = info.First(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(audio, nullptr) << path;
  EXPECT_EQ(audio->codecName, "mp3");
  EXPECT_EQ(audio->sampleRate, 44100);
  EXPECT_EQ(audio->channels, 2);
  EXPECT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), 0);
}

}  // namespace

TEST(ConvertProgram, HelpAndWrongCommandLines) {
  const Result help = RunProgram({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.output, "usage: melvaro-convert [-o FOLDER] [-j N] [-f FORMAT]"));
  EXPECT_TRUE(Contains(help.output, "\"Lib\""));
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "usage:"},
      {{"-j"}, "-j needs a number"},
      {{"-j", "0", "a.wav"}, "-j wants a number from 1 to 64"},
      {{"-j", "two", "a.wav"}, "-j wants a number"},
      {{"--frobnicate", "a.wav"}, "unknown option --frobnicate"},
      {{"-o"}, "-o needs a folder"},
      {{"--threads-per-file", "0", "a.wav"}, "--threads-per-file wants a number from 1 to 64"},
  };
  for (const Case& c : cases) {
    const Result result = RunProgram(c.args);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_TRUE(Contains(result.output, c.message)) << result.output;
  }
}

TEST(ConvertProgram, ConvertsARealBatchAndSaysWhatItDidWithEveryFile) {
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("-j ") + jobs);
    TempFolder folder;
    fs::create_directories(folder.path() / "a");
    fs::create_directories(folder.path() / "b");
    const std::string out = folder / "out";
    fs::create_directories(out);
    const std::string song = folder / "a/song.wav";
    const std::string sameNameWav = folder / "a/same.wav";
    const std::string sameNameFlac = folder / "b/same.flac";
    const std::string inside = out + "/inside.mp3";
    const std::string broken = folder / "b/broken.mp3";
    MediaFixtures::MakeWav(song, 22050, 1, 1.0, 440);
    MediaFixtures::MakeWav(sameNameWav, 44100, 2, 1.0, 550);
    MediaFixtures::MakeAudio(sameNameFlac, MediaFixtures::AudioFormat::Flac, 48000, 2, 1.0, 660);
    MediaFixtures::MakeAudio(inside, MediaFixtures::AudioFormat::Mp3, 44100, 2, 1.0, 770);
    std::ofstream(broken) << std::string(5000, '\x55');
    const std::string insideBytes = Contents(inside);

    const Result result =
        RunProgram({"-o", out, "-j", jobs, song, sameNameWav, sameNameFlac, broken, inside});
    EXPECT_EQ(result.status, 1) << result.output;  // one file failed
    EXPECT_TRUE(Contains(result.output, "4 converted, 1 failed")) << result.output;
    EXPECT_TRUE(Contains(result.output, "failed: " + broken + ": ")) << result.output;
    EXPECT_TRUE(Contains(result.output, "note: " + out + "/same.mp3 is taken by an earlier input"))
        << result.output;
    EXPECT_TRUE(Contains(result.output, "note: " + inside + " is one of the inputs"))
        << result.output;
    EXPECT_TRUE(Contains(result.output, "converted: " + song + " -> " + out + "/song.mp3"));

    for (const std::string& mp3 :
         {out + "/song.mp3", out + "/same.mp3", out + "/same (2).mp3", out + "/inside (2).mp3"})
      ExpectMp3(mp3);
    EXPECT_NEAR(MediaFixtures::DominantFrequency(MediaFixtures::DecodeAudio(out + "/same (2).mp3")),
                660, 15);
    EXPECT_EQ(Contents(inside), insideBytes);  // an input is never written
    EXPECT_FALSE(fs::exists(out + "/broken.mp3"));
  }
}

// A long file alone gets the -j slots no other file takes: it is encoded in
// segments, to the same length; --threads-per-file 1 gives the bytes of a
// whole encoding, as -j 1 does.
TEST(ConvertProgram, ALoneLongFileIsSplitAcrossTheFreeSlots) {
  TempFolder folder;
  const std::string input = folder / "long.wav";
  MediaFixtures::MakeWav(input, 44100, 2, 70, 440);
  std::map<std::string, std::string> outputs;
  const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
      {"auto", {"-j", "2"}}, {"one", {"-j", "2", "--threads-per-file", "1"}}, {"whole", {}}};
  for (const auto& [name, options] : runs) {
    const std::string out = folder / name;
    std::vector<std::string> args = {"-o", out};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(input);
    const Result result = RunProgram(args);
    ASSERT_EQ(result.status, 0) << result.output;
    outputs[name] = Contents(out + "/long.mp3");
  }
  EXPECT_EQ(outputs["one"], outputs["whole"]);
  EXPECT_NE(outputs["auto"], outputs["whole"]);
  EXPECT_EQ(MediaFixtures::DecodeAudio(folder / "auto/long.mp3").Frames(),
            MediaFixtures::DecodeAudio(folder / "whole/long.mp3").Frames());
}

TEST(ConvertProgram, AllGoodFilesExitZero) {
  TempFolder folder;
  const std::string input = folder / "tone.wav";
  MediaFixtures::MakeWav(input, 44100, 2, 0.5, 440);
  const Result result = RunProgram({"-o", folder / "made/here", input});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(Contains(result.output, "1 converted, 0 failed")) << result.output;
  ExpectMp3(folder / "made/here/tone.mp3");
}

namespace {

// Every file below folder, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), folder).string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

// A library given as a folder: its tree kept, or names built from tags.
TEST(ConvertProgram, AFolderKeepsItsTreeOrTakesNamesFromTags) {
  TempFolder folder;
  const std::string music = folder / "Music";
  for (const char* album : {"Artist A/Album 1", "Artist A/Album 2", "Artist B", ".hidden"})
    fs::create_directories(music + "/" + album);
  const auto flac = [&](const std::string& name, std::map<std::string, std::string> tags) {
    MediaFixtures::AudioExtras extras;
    extras.tags = std::move(tags);
    MediaFixtures::MakeAudio(music + "/" + name, MediaFixtures::AudioFormat::Flac, 44100, 2, 0.3,
                             440, extras);
  };
  flac("Artist A/Album 1/01 Intro.flac",
       {{"artist", "A"}, {"album", "One"}, {"title", "Intro"}, {"track", "1"}});
  flac("Artist A/Album 2/01 Intro.flac", {{"artist", "A"},
                                          {"album_artist", "Band"},
                                          {"album", "Two"},
                                          {"title", "Intro"},
                                          {"track", "1/10"}});
  flac("Artist B/b.flac", {{"title", "../../escape"}});
  flac(".hidden/h.flac", {});
  std::ofstream(music + "/Artist B/notes.txt") << "not audio";

  // Given as a folder: the tree below it is kept.
  Result result = RunProgram({"-o", folder / "tree", "-j", "2", music});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(FilesBelow(folder / "tree"),
            (std::vector<std::string>{"Artist A/Album 1/01 Intro.mp3",
                                      "Artist A/Album 2/01 Intro.mp3", "Artist B/b.mp3"}));
  ExpectMp3(folder / "tree/Artist A/Album 2/01 Intro.mp3");

  // Names from tags; a missing one has its placeholder, and no tag leads out.
  result = RunProgram(
      {"-o", folder / "named", "--name", "{albumartist}/{album}/{track:02} {title}", music});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(FilesBelow(folder / "named"),
            (std::vector<std::string>{"A/One/01 Intro.mp3", "Band/Two/01 Intro.mp3",
                                      "Unknown Artist/Unknown Album/00 .._.._escape.mp3"}));
  // Five sources and six outputs: nothing else was written.
  EXPECT_EQ(FilesBelow(folder.path().string()).size(), 5u + 3 + 3);

  // Flat: the two "01 Intro" get numbers.
  result = RunProgram({"-o", folder / "flat", "--layout", "flat", music});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(FilesBelow(folder / "flat"),
            (std::vector<std::string>{"01 Intro (2).mp3", "01 Intro.mp3", "b.mp3"}));
  EXPECT_TRUE(Contains(result.output, "is taken by an earlier input")) << result.output;

  // Beside the sources.
  result = RunProgram({"--layout", "beside", "-f", "opus", music + "/Artist B"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(fs::exists(music + "/Artist B/b.opus"));

  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--layout", "mirror", music}, "--layout wants flat, tree or beside, not \"mirror\""},
           {{"--name", "", music}, "--name wants a pattern"}}) {
    result = RunProgram(args);
    EXPECT_EQ(result.status, 2) << message;
    EXPECT_TRUE(Contains(result.output, message)) << result.output;
  }
  // A path that is not there fails alone.
  result = RunProgram({"-o", folder / "more", folder / "nothing.wav", music + "/Artist B/b.flac"});
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_TRUE(Contains(result.output, "nothing.wav: No such file or directory")) << result.output;
  EXPECT_TRUE(fs::exists(folder / "more/b.mp3"));
}

namespace {

// Waits (up to a minute) until the program writes a hidden file into folder.
bool WaitForHiddenFile(const std::string& folder) {
  for (int i = 0; i < 6000; ++i) {
    if (fs::is_directory(folder) && !HiddenPartialFiles(folder).empty()) return true;
    usleep(10000);
  }
  return false;
}

}  // namespace

// Interrupted, killed or failing, a re-conversion never touches the files an
// earlier one made; a killed run's hidden file is removed by the next run.
TEST(ConvertProgram, EarlierOutputsSurviveAnInterruptedKilledOrFailedReconversion) {
  TempFolder folder;
  const std::string out = folder / "out";
  const std::string longInput = folder / "a-long.wav", shortInput = folder / "b-short.wav";
  MediaFixtures::MakeWav(longInput, 44100, 2, 30.0, 440);
  MediaFixtures::MakeWav(shortInput, 44100, 2, 1.0, 660);
  ASSERT_EQ(RunProgram({"-o", out, longInput, shortInput}).status, 0);
  const std::string longBytes = Contents(out + "/a-long.mp3");
  const std::string shortBytes = Contents(out + "/b-short.mp3");

  const std::string log = folder / "log.txt";
  for (int signal : {SIGINT, SIGKILL}) {
    SCOPED_TRACE(signal == SIGINT ? "Ctrl+C" : "killed");
    const pid_t program = StartProgram({"-o", out, longInput, shortInput}, log);
    ASSERT_TRUE(WaitForHiddenFile(out));
    kill(program, signal);
    int status = 0;
    waitpid(program, &status, 0);
    EXPECT_EQ(Contents(out + "/a-long.mp3"), longBytes);
    EXPECT_EQ(Contents(out + "/b-short.mp3"), shortBytes);
    if (signal == SIGINT) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << Contents(log);
      EXPECT_TRUE(Contains(Contents(log), "failed: " + longInput + ": stopped")) << Contents(log);
      EXPECT_EQ(HiddenPartialFiles(out), std::vector<std::string>{});
    } else {
      EXPECT_EQ(HiddenPartialFiles(out).size(), 1u);  // recognisable by its name
    }
  }

  // The short input is now no audio at all: it fails, its output stays.
  std::ofstream(shortInput, std::ios::trunc) << std::string(5000, '\x55');
  const Result failed = RunProgram({"-o", out, shortInput});
  EXPECT_EQ(failed.status, 1) << failed.output;
  EXPECT_EQ(Contents(out + "/b-short.mp3"), shortBytes);
  EXPECT_EQ(HiddenPartialFiles(out), std::vector<std::string>{});  // the killed run's is gone
}

TEST(ConvertProgram, AFileConvertedWithProblemsGetsAWarningAndItsOwnStatus) {
  TempFolder folder;
  const std::string truncated = folder / "cut.mp3";
  MediaFixtures::MakeAudio(truncated, MediaFixtures::AudioFormat::Mp3, 44100, 2, 20.0, 440);
  fs::resize_file(truncated, fs::file_size(truncated) / 2);
  const std::string good = folder / "good.wav";
  MediaFixtures::MakeWav(good, 44100, 2, 0.5, 440);
  const Result result = RunProgram({"-o", folder / "out", good, truncated});
  EXPECT_EQ(result.status, 3) << result.output;
  EXPECT_TRUE(Contains(result.output, "warning: " + truncated + ": input ended at 0:"))
      << result.output;
  EXPECT_TRUE(Contains(result.output, "2 converted (1 with problems), 0 failed")) << result.output;
  ExpectMp3(folder / "out/cut.mp3");
}

// Each file is converted in a worker process: one that dies mid-file (the
// test build's seam kills it at the file's first progress report) fails
// only its file, with the signal and the library's last line; the others
// convert and no hidden file is left.
TEST(ConvertProgram, AWorkerThatDiesFailsOnlyItsFile) {
  const struct {
    const char* fault;
    const char* signal;
  } cases[] = {{"segv", "SIGSEGV"}, {"kill", "SIGKILL"}, {"abort", "SIGABRT"}};
  TempFolder folder;
  const std::string a = folder / "a.wav", crash = folder / "crash.wav", c = folder / "c.wav";
  for (const std::string& file : {a, crash, c}) MediaFixtures::MakeWav(file, 44100, 2, 2.0, 440);
  for (const auto& with : cases) {
    SCOPED_TRACE(with.fault);
    const std::string out = folder / with.fault;
    setenv("MELVARO_TEST_WORKER_FAULT", (std::string("crash.wav=") + with.fault).c_str(), 1);
    const Result result = RunProgram({"-j", "2", "-o", out, a, crash, c});
    unsetenv("MELVARO_TEST_WORKER_FAULT");
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_TRUE(Contains(result.output, "failed: " + crash + ": the conversion crashed: " +
                                            with.signal + " (test fault: " + with.fault + ")"))
        << result.output;
    EXPECT_TRUE(Contains(result.output, "2 converted, 1 failed")) << result.output;
    ExpectMp3(out + "/a.mp3");
    ExpectMp3(out + "/c.mp3");
    EXPECT_FALSE(fs::exists(out + "/crash.mp3"));
    EXPECT_EQ(HiddenPartialFiles(out), std::vector<std::string>{});
  }
}

// Ctrl+C reaches a conversion stuck in a library call that never returns
// (the seam's "hang"): its worker is killed after the grace period, so the
// program ends within a second, the file stopped and nothing left behind.
TEST(ConvertProgram, CtrlCEndsAConversionStuckInALibraryCall) {
  TempFolder folder;
  const std::string stuck = folder / "stuck.wav", out = folder / "out";
  MediaFixtures::MakeWav(stuck, 44100, 2, 2.0, 440);
  setenv("MELVARO_TEST_WORKER_FAULT", "stuck.wav=hang", 1);
  const std::string log = folder / "log.txt";
  const pid_t program = StartProgram({"-o", out, stuck}, log);
  unsetenv("MELVARO_TEST_WORKER_FAULT");
  // The seam hangs after the file's first progress report, with its output
  // half written.
  ASSERT_TRUE(WaitForHiddenFile(out));
  usleep(300000);
  const auto asked = std::chrono::steady_clock::now();
  kill(program, SIGINT);
  int status = 0;
  waitpid(program, &status, 0);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - asked);
  EXPECT_LT(took.count(), 1000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << Contents(log);
  EXPECT_TRUE(Contains(Contents(log), "stopping ...")) << Contents(log);
  EXPECT_EQ(HiddenPartialFiles(out), std::vector<std::string>{});
}
